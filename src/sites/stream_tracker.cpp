#include "sites/stream_tracker.h"

QString StreamTracker::label(const QString& vcodec) {
    if (vcodec != m_last) {
        m_last = vcodec;
        ++m_count;
    }
    if (vcodec == u"none") return QStringLiteral("声音 · ");
    if (m_count < 2) return QString();
    return QStringLiteral("画面 · ");
}
