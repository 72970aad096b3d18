#pragma once

#include "gui/thumbnail_loader.h"

#include <QQuickAsyncImageProvider>
#include <QThread>
#include <QUrl>

// The rows' pictures, "image://thumbnail/<address>". A picture's address comes from a web page
// (og:image) or a feed, so it is the page's choice: a file:// address could name a FIFO, which
// blocks whoever opens it (QML's own image thread, and with it every other picture and the
// quit), or a device; a web address could serve gigabytes. So only http and https are fetched,
// by a ThumbnailLoader on a thread of its own, with every step bounded.
class ThumbnailProvider : public QQuickAsyncImageProvider {
public:
    explicit ThumbnailProvider(ThumbnailLoader::Limits limits = {});
    ~ThumbnailProvider() override;

    QQuickImageResponse* requestImageResponse(const QString& id,
                                              const QSize& requestedSize) override;

    // The picture's source for QML: empty for anything but a web address.
    static QUrl source(const QUrl& address);

private:
    QThread m_thread;
    ThumbnailLoader* m_loader = nullptr;
};
