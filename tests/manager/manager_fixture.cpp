#include "manager/manager_fixture.h"

#include "channels/cookie_jar.h"
#include "channels/yuanbao.h"
#include "common/service_server.h"
#include "common/test_support.h"
#include "support/app_paths.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkCookie>

namespace ManagerTest {

HttpTestServer& server() {
    return serviceServer();
}

namespace {
// Before main(): the engine reads the origins once, so they must point here from the start.
[[maybe_unused]] const bool kServerStarted = (server(), true);
}  // namespace

Harness::Harness() {
    DesktopServices services;
    services.clipboard = clipboard;
    services.workspace = workspace;
    services.makeLoginWindow = [this]() -> std::shared_ptr<LoginWindow> {
        auto window = std::make_shared<RecordingLoginWindow>();
        loginWindows.append(window);
        return window;
    };
    manager = std::make_unique<DownloadManager>(services);
    manager->onActiveChange = [this](bool active) { activeChanges.append(active); };
    manager->requestShow = [this] { ++shows; };
}

DownloadManager::ItemPointer Harness::submit(const QString& text) {
    manager->setInput(text);
    manager->submit();
    return manager->items().isEmpty() ? nullptr : manager->items().first();
}

bool Harness::waitFinished(const DownloadManager::ItemPointer& item, int seconds) {
    return TestSupport::waitUntil([&] { return item->isFinished() && !item->task; },
                                  std::chrono::seconds(seconds));
}

QString shareLink(const QString& id) {
    return QStringLiteral("https://weixin.qq.com/sph/") + id;
}

void logIn() {
    QNetworkCookie cookie("hy_token", "secret-token-value");
    cookie.setDomain(Yuanbao::host());
    cookie.setPath(QStringLiteral("/"));
    cookie.setExpirationDate(QDateTime::currentDateTimeUtc().addDays(30));
    CookieJar::write({cookie});
}

void serveChannels(const QByteArray& videoBytes, int chunkDelayMs) {
    const QString origin = server().origin();
    server().setHandler([=](const HttpTestServer::Request& request) {
        using Reply = HttpTestServer::Reply;
        const QByteArray path = request.path();
        if (path == "/api/weixin/get_parse_result") {
            const QJsonObject body = QJsonDocument::fromJson(request.body).object();
            const QString id = body.value(QStringLiteral("url")).toString().section(u'/', -1);
            const QString playable =
                origin + QStringLiteral("/play?token=T-") + id + QStringLiteral("&eid=E-") + id;
            return Reply::json(
                QJsonDocument(
                    QJsonObject{
                        {QStringLiteral("code"), 0},
                        {QStringLiteral("data"),
                         QJsonObject{{QStringLiteral("wx_export_id"), QStringLiteral("W-") + id},
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
        return Reply::text("not here", 404);
    });
}

}  // namespace ManagerTest
