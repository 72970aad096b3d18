#pragma once

#include "common/http_test_server.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The Yuanbao parse service, the Channels feed service and the video file server as one
// loopback server plays them: each share id is resolved to <origin>/video/<id>.mp4 whose body is
// `videoBytes`, with the description "标题 <id>". `chunkDelayMs` > 0 sends the video in slow
// pieces, to keep a download running.
namespace ChannelsServices {

// How the video server sends the video.
struct VideoServing {
    int chunkDelayMs = 0;     // > 0: slow pieces
    QByteArray etag;          // sent as "ETag" when set
    QByteArray lastModified;  // sent as "Last-Modified" when set
    bool ranges = false;      // "Range: bytes=N-" answered 206 with "Content-Range"
    qint64 stallAfter = -1;   // >= 0: the body goes silent after this many bytes of the file
};

// The services' reply to `request`, or nothing for a path they do not serve.
std::optional<HttpTestServer::Reply> answer(const HttpTestServer::Request& request,
                                            const QString& origin, const QByteArray& videoBytes,
                                            int chunkDelayMs = 0);
std::optional<HttpTestServer::Reply> answer(const HttpTestServer::Request& request,
                                            const QString& origin, const QByteArray& videoBytes,
                                            const VideoServing& how);

// The first byte a "Range: bytes=N-" header of the request asks for; -1 without one.
qint64 rangeStart(const HttpTestServer::Request& request);

}  // namespace ChannelsServices
