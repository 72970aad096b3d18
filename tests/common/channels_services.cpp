#include "common/channels_services.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace ChannelsServices {

std::optional<HttpTestServer::Reply> answer(const HttpTestServer::Request& request,
                                            const QString& origin, const QByteArray& videoBytes,
                                            int chunkDelayMs) {
    using Reply = HttpTestServer::Reply;
    const QByteArray path = request.path();
    if (path == "/api/weixin/get_parse_result") {
        const QJsonObject body = QJsonDocument::fromJson(request.body).object();
        const QString id = body.value(QStringLiteral("url")).toString().section(u'/', -1);
        const QString playable =
            origin + QStringLiteral("/play?token=T-") + id + QStringLiteral("&eid=E-") + id;
        return Reply::json(
            QJsonDocument(QJsonObject{{QStringLiteral("code"), 0},
                                      {QStringLiteral("data"),
                                       QJsonObject{{QStringLiteral("wx_export_id"),
                                                    QStringLiteral("W-") + id},
                                                   {QStringLiteral("playable_url"), playable}}}})
                .toJson());
    }
    if (path == "/finder-preview/api/feed/get_feed_info") {
        const QString id = QJsonDocument::fromJson(request.body)
                               .object()
                               .value(QStringLiteral("exportId"))
                               .toString()
                               .mid(2);
        const QJsonObject feed{
            {QStringLiteral("description"), QStringLiteral("标题 ") + id},
            {QStringLiteral("coverUrl"), origin + QStringLiteral("/cover/") + id},
            {QStringLiteral("authorInfo"),
             QJsonObject{{QStringLiteral("nickname"), QStringLiteral("作者")}}},
            {QStringLiteral("h264VideoInfo"),
             QJsonObject{{QStringLiteral("videoUrl"),
                          origin + QStringLiteral("/video/") + id + QStringLiteral(".mp4")}}}};
        return Reply::json(
            QJsonDocument(QJsonObject{{QStringLiteral("errCode"), 0},
                                      {QStringLiteral("data"),
                                       QJsonObject{{QStringLiteral("feedInfo"), feed}}}})
                .toJson());
    }
    if (path.startsWith("/video/")) {
        Reply reply;
        reply.headers = {{"Content-Type", "video/mp4"}, {"X-encflag", "0"}};
        reply.body = videoBytes;
        if (chunkDelayMs > 0) {
            reply.throttleBytes = 64 * 1024;
            reply.throttleMs = chunkDelayMs;
        }
        return reply;
    }
    return std::nullopt;
}

}  // namespace ChannelsServices
