#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QUrl>

#include <optional>

// The answer to a finished file transfer, as Channels::save judges it: status and headers.
struct HttpResponse {
    int status = 0;
    QList<QPair<QByteArray, QByteArray>> headers;
    QUrl url;  // where the body came from, after redirects

    // The first header of that name, looked up case-insensitively; nothing when absent.
    std::optional<QByteArray> header(QByteArrayView name) const;
};
