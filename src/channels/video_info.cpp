#include "channels/video_info.h"

#include "channels/json_reading.h"
#include "channels/origin.h"
#include "core/background.h"
#include "net/net.h"
#include "support/safe_text.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>

namespace {

const QString kService = QStringLiteral("视频号");

// Query items in the given order, each value percent-encoded so that it comes back unchanged
// on the server side: "&", "=", "+" and "#" inside a token would otherwise split or alter it.
QString encodedQuery(const QList<QPair<QString, QString>>& items) {
    QStringList pairs;
    for (const auto& [name, value] : items) {
        pairs.append(name + QLatin1Char('=') +
                     QString::fromLatin1(QUrl::toPercentEncoding(value, ":/?@!$'()*,;")));
    }
    return pairs.join(QLatin1Char('&'));
}

QString feedPage() {
    return Channels::webOrigin() + QStringLiteral("/finder-preview/pages/feed");
}

// The service's own notice, when it has one worth showing: throws unavailable.
void checkNotice(const QJsonObject& notice) {
    const qint64 type = JsonReading::integer(notice.value(QStringLiteral("type"))).value_or(0);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    QStringList pieces;
    for (const QString& member : {QStringLiteral("title"), QStringLiteral("content")}) {
        const auto text = JsonReading::text(notice.value(member));
        if (!text) continue;
        QString plain = *text;
        plain.remove(tag);
        if (!plain.isEmpty()) pieces.append(plain);
    }
    // The notice becomes the row's title: kept short.
    const QString joined = SafeText::excerpt(pieces.join(QStringLiteral("：")));
    // A soft notice (type 0 or none) without any text is only decoration of a normal reply.
    if (type == 0 && joined.isEmpty()) return;
    throw Problem::unavailable(joined.isEmpty() ? QStringLiteral("此内容暂时无法播放") : joined);
}

ChannelsVideo readReply(const Net::Response& response) {
    const QJsonObject reply = JsonReading::replyObject(response, QStringLiteral("视频号"));

    if (const auto code = JsonReading::integer(reply.value(QStringLiteral("errCode")));
        code && *code != 0) {
        throw Problem::apiChanged(
            QStringLiteral("视频号 errCode ") + QString::number(*code) + QStringLiteral("：") +
            SafeText::excerpt(
                JsonReading::text(reply.value(QStringLiteral("errMsg"))).value_or(QString())));
    }
    const QJsonValue dataValue = reply.value(QStringLiteral("data"));
    if (!dataValue.isObject()) throw Problem::apiChanged(QStringLiteral("视频号没有返回 data"));
    const QJsonObject data = dataValue.toObject();

    if (const QJsonValue notice = data.value(QStringLiteral("errMsg")); notice.isObject()) {
        checkNotice(notice.toObject());
    }

    const QJsonValue feedValue = data.value(QStringLiteral("feedInfo"));
    if (!feedValue.isObject()) throw Problem::apiChanged(QStringLiteral("视频号没有返回 feedInfo"));
    const QJsonObject feed = feedValue.toObject();

    // The first non-empty candidate decides; a malformed one is not skipped for the next, since
    // the service then sent something this program does not understand.
    const QStringList candidates{
        JsonReading::text(feed.value(QStringLiteral("h264VideoInfo"))
                              .toObject()
                              .value(QStringLiteral("videoUrl")))
            .value_or(QString()),
        JsonReading::text(feed.value(QStringLiteral("videoUrl"))).value_or(QString()),
    };
    QUrl videoURL;
    for (const QString& candidate : candidates) {
        if (candidate.isEmpty()) continue;
        videoURL = QUrl(candidate, QUrl::StrictMode);
        break;
    }
    if (!videoURL.isValid() || videoURL.isRelative()) {
        const QJsonValue pictures = feed.value(QStringLiteral("picInfo"));
        if (pictures.isArray() && !pictures.toArray().isEmpty()) throw Problem::notVideo();
        throw Problem::apiChanged(QStringLiteral("视频号没有返回视频地址"));
    }
    // The video is fetched over the web and nothing else: a reply naming a local file (file:),
    // another protocol (ftp:) or inline data must never be followed.
    const QString scheme = videoURL.scheme().toLower();
    if ((scheme != u"http" && scheme != u"https") || videoURL.host().isEmpty()) {
        throw Problem::apiChanged(QStringLiteral("视频号返回的视频地址不是网址（") +
                                  videoURL.scheme() + QStringLiteral("）"));
    }

    ChannelsVideo video;
    video.videoURL = videoURL;
    video.author =
        JsonReading::text(
            feed.value(QStringLiteral("authorInfo")).toObject().value(QStringLiteral("nickname")))
            .value_or(QString());
    // A creation time before 1970 or beyond the year 9999 is no real time: treated as absent.
    if (const auto created = JsonReading::epochTime(feed.value(QStringLiteral("createtime")), 1);
        created && created->toMSecsSinceEpoch() >= 0) {
        video.createdAt = created;
    }
    if (const auto cover = JsonReading::text(feed.value(QStringLiteral("coverUrl")))) {
        const QUrl coverURL(*cover, QUrl::StrictMode);
        if (coverURL.isValid() && !coverURL.isRelative()) video.coverURL = coverURL;
    }
    video.title = JsonReading::text(feed.value(QStringLiteral("description"))).value_or(QString());
    return video;
}

}  // namespace

namespace Channels {

QString webOrigin() {
    static const QString value = Origin::fromEnvironment(
        "QUORVIN_CHANNELS_ORIGIN", QStringLiteral("https://channels.weixin.qq.com"));
    return value;
}

QString requestId() {
    const qint64 seconds = QDateTime::currentSecsSinceEpoch();
    return QString::number(seconds, 16) + QLatin1Char('-') +
           QStringLiteral("%1").arg(QRandomGenerator::global()->generate(), 8, 16,
                                    QLatin1Char('0'));
}

QCoro::Task<ChannelsVideo> videoInfo(QString token, QString exportId,
                                     std::shared_ptr<CancelToken> cancel) {
    QUrl address(webOrigin() + QStringLiteral("/finder-preview/api/feed/get_feed_info"));
    address.setQuery(encodedQuery({
                         {QStringLiteral("_rid"), requestId()},
                         {QStringLiteral("_pageUrl"), feedPage()},
                     }),
                     QUrl::StrictMode);

    QUrl referer(feedPage());
    referer.setQuery(encodedQuery({
                         {QStringLiteral("entry_card_type"), QStringLiteral("48")},
                         {QStringLiteral("comment_scene"), QStringLiteral("39")},
                         {QStringLiteral("appid"), QStringLiteral("0")},
                         {QStringLiteral("token"), token},
                         {QStringLiteral("entry_scene"), QStringLiteral("0")},
                         {QStringLiteral("eid"), exportId},
                     }),
                     QUrl::StrictMode);

    QNetworkRequest request(address);
    request.setTransferTimeout(20'000);
    request.setRawHeader("Origin", webOrigin().toUtf8());
    request.setRawHeader("Referer", referer.toString(QUrl::FullyEncoded).toUtf8());
    request.setRawHeader("User-Agent", Net::kUserAgent);

    const QJsonObject body{
        {QStringLiteral("baseReq"), QJsonObject{{QStringLiteral("generalToken"), token}}},
        {QStringLiteral("exportId"), exportId},
    };
    const Net::Response response = co_await Net::postJson(request, body, kService, cancel);
    // Even within the size bound, a hostile reply can take the JSON parser most of a second
    // (400,000 small objects in 3 MB): never on the main thread, where the panel is drawn.
    const auto read = [response] { return readReply(response); };
    co_return co_await offMainThread(read);
}

}  // namespace Channels
