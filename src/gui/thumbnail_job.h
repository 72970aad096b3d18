#pragma once

#include <QImage>
#include <QMutex>
#include <QSize>
#include <QString>
#include <QUrl>

class QQuickImageResponse;

// One picture QML asked for. The loader's thread fills it in; QML's image thread reads it
// through its response, which may be gone by then (a row scrolled away, the panel closing).
struct ThumbnailJob {
    QUrl address;
    QSize size;  // the size it is shown at; invalid when QML did not say

    // Stores the outcome once (an empty `error` means `image` is good) and tells the response,
    // if it is still there. Safe from any thread.
    void finish(const QImage& picture, const QString& problem);
    bool isFinished();
    void attach(QQuickImageResponse* response);
    void detach();
    QImage picture();
    QString problem();

private:
    QMutex m_mutex;
    bool m_finished = false;
    QImage m_picture;
    QString m_problem;
    QQuickImageResponse* m_response = nullptr;
};
