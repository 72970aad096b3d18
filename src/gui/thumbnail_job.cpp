#include "gui/thumbnail_job.h"

#include <QQuickImageResponse>

void ThumbnailJob::finish(const QImage& picture, const QString& problem) {
    QMutexLocker lock(&m_mutex);
    if (m_finished) return;
    m_finished = true;
    m_picture = picture;
    m_problem = problem;
    // Announced from the response's own thread, once the image thread has connected to it
    // (it does so only after the request returns), and never after the response is gone.
    if (m_response) {
        QMetaObject::invokeMethod(
            m_response, [response = m_response] { Q_EMIT response->finished(); },
            Qt::QueuedConnection);
    }
}

bool ThumbnailJob::isFinished() {
    QMutexLocker lock(&m_mutex);
    return m_finished;
}

void ThumbnailJob::attach(QQuickImageResponse* response) {
    QMutexLocker lock(&m_mutex);
    m_response = response;
}

void ThumbnailJob::detach() {
    QMutexLocker lock(&m_mutex);
    m_response = nullptr;
}

QImage ThumbnailJob::picture() {
    QMutexLocker lock(&m_mutex);
    return m_picture;
}

QString ThumbnailJob::problem() {
    QMutexLocker lock(&m_mutex);
    return m_problem;
}
