#include "common/channels_services.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace ChannelsServices {

std::optional<HttpTestServer::Reply> answer(const HttpTestServer::Request& request,
                                            const QString& origin, const QByteArray& videoBytes,
                                            int chunkDelayMs) {
    return answer(request, origin, videoBytes, VideoServing{chunkDelayMs});
}

qint64 rangeStart(const HttpTestServer::Request& request) {
    const std::optional<QByteArray> range = request.header("Range");
    if (!range || !range->startsWith("bytes=") || !range->endsWith('-')) return -1;
    bool ok = false;
    const qint64 first = range->mid(6, range->size() - 7).toLongLong(&ok);
    return ok ? first : -1;
}

std::optional<HttpTestServer::Reply> answer(const HttpTestServer::Request& request,
                                            const QString& origin, const QByteArray& videoBytes,
                                            const VideoServing& how) {
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
        if (!how.etag.isEmpty()) reply.headers.append({"ETag", how.etag});
        if (!how.lastModified.isEmpty()) reply.headers.append({"Last-Modified", how.lastModified});
        qint64 first = how.ranges ? rangeStart(request) : -1;
        if (first >= videoBytes.size()) first = -1;
        if (first >= 0) {
            reply.status = 206;
            reply.headers.append({"Content-Range", "bytes " + QByteArray::number(first) + '-' +
                                                       QByteArray::number(videoBytes.size() - 1) +
                                                       '/' +
                                                       QByteArray::number(videoBytes.size())});
        }
        const qint64 from = std::max<qint64>(first, 0);
        reply.body = videoBytes.mid(from);
        if (how.stallAfter >= 0) reply.stallAfter = std::max<qint64>(how.stallAfter - from, 0);
        if (how.chunkDelayMs > 0) {
            reply.throttleBytes = 64 * 1024;
            reply.throttleMs = how.chunkDelayMs;
        }
        return reply;
    }
    return std::nullopt;
}

}  // namespace ChannelsServices
