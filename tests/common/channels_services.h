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

// The services' reply to `request`, or nothing for a path they do not serve.
std::optional<HttpTestServer::Reply> answer(const HttpTestServer::Request& request,
                                            const QString& origin, const QByteArray& videoBytes,
                                            int chunkDelayMs = 0);

}  // namespace ChannelsServices
