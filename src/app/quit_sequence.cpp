#include "app/quit_sequence.h"

#include "manager/download_manager.h"
#include "sites/process_group.h"
#include "support/log.h"

#include <QTimer>

QuitSequence::QuitSequence(DownloadManager& manager, QObject* parent)
    : QObject(parent), m_manager(manager) {}

void QuitSequence::run() {
    if (m_begun) return;
    m_begun = true;
    // Each running download reports its end through its phase; the last one ends the wait.
    for (const auto& item : m_manager.items()) {
        if (!item->isActive()) continue;
        connect(item.get(), &DownloadItem::phaseChanged, this, &QuitSequence::checkDownloads,
                Qt::QueuedConnection);
    }
    // Interrupted, not cancelled: the processes end all the same, but what each download has
    // fetched stays in its kept folder for "继续下载" at the next start.
    m_manager.interruptAll();
    Log::write(QStringLiteral("App 退出"));
    Q_EMIT windowsGone();
    m_grace = new QTimer(this);
    m_grace->setSingleShot(true);
    connect(m_grace, &QTimer::timeout, this, &QuitSequence::end);
    m_grace->start(kGrace);
    // Downloads that were not running, or ended at once, leave nothing to wait for; the end still
    // comes from the event loop, as it does after a wait.
    QTimer::singleShot(0, this, &QuitSequence::checkDownloads);
}

void QuitSequence::checkDownloads() {
    if (!m_manager.hasActive()) end();
}

void QuitSequence::end() {
    if (m_ended) return;
    m_ended = true;
    m_grace->stop();
    // Whatever tool group is still alive (one that ignored the cancel) ends with us.
    ProcessGroup::endAll();
    Q_EMIT finished();
}
