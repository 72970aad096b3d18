#pragma once

#include "gui/thumbnail_job.h"

#include <QList>
#include <QObject>

#include <chrono>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

// Fetches and decodes the rows' pictures on the thread it lives on, a few at a time. Every step
// is bounded: only http and https, at most `maxBytes` read (a larger announced length is
// refused before its body), `timeout` for the whole fetch, and decoding at the shown size from
// at most `maxPixels`, in the common picture formats only. Nothing here ever blocks, so the
// thread stops at once when asked.
class ThumbnailLoader : public QObject {
    Q_OBJECT

public:
    struct Limits {
        qint64 maxBytes = 4 * 1024 * 1024;
        std::chrono::milliseconds timeout = std::chrono::seconds(20);
        qint64 maxPixels = 4096 * 4096;
        int atOnce = 4;
    };

    explicit ThumbnailLoader(Limits limits);
    ~ThumbnailLoader() override;  // ends what is still running or waiting

    // Safe from any thread: the job runs on the loader's thread.
    void enqueue(std::shared_ptr<ThumbnailJob> job);

    static bool isWebAddress(const QUrl& address);
    // The picture in `bytes`, decoded at about `size` (covering it, as a cropped picture needs);
    // a null image and `problem` set when it is not one or is too large.
    static QImage decode(const QByteArray& bytes, QSize size, qint64 maxPixels, QString* problem);

private:
    void next();
    void fetch(const std::shared_ptr<ThumbnailJob>& job);

    const Limits m_limits;
    QNetworkAccessManager* m_network = nullptr;
    QList<std::shared_ptr<ThumbnailJob>> m_waiting;
    QList<QNetworkReply*> m_running;
};
