#include "manager/manager_fixture.h"

#include "channels/cookie_jar.h"
#include "channels/yuanbao.h"
#include "common/channels_services.h"
#include "common/service_server.h"
#include "common/test_support.h"
#include "support/app_paths.h"

#include <QDir>
#include <QFile>
#include <QNetworkCookie>

namespace ManagerTest {

HttpTestServer& server() {
    return serviceServer();
}

namespace {
// Before main(): the engine reads the origins once, so they must point here from the start.
[[maybe_unused]] const bool kServerStarted = (server(), true);
}  // namespace

Harness::Harness(YtDlp::Settings settings) {
    DesktopServices services;
    services.clipboard = clipboard;
    services.workspace = workspace;
    services.makeLoginWindow = [this]() -> std::shared_ptr<LoginWindow> {
        auto window = std::make_shared<RecordingLoginWindow>();
        loginWindows.append(window);
        return window;
    };
    manager = std::make_unique<DownloadManager>(services, std::move(settings));
    QObject::connect(manager.get(), &DownloadManager::activeChanged,
                     [this](bool active) { activeChanges.append(active); });
    QObject::connect(manager.get(), &DownloadManager::showRequested, [this] { ++shows; });
}

DownloadManager::ItemPointer Harness::submit(const QString& text) {
    const std::optional<QUrl> url = Platform::firstURL(text);
    return url ? manager->submit(*url, Platform::detect(*url)) : nullptr;
}

bool Harness::waitFinished(const DownloadManager::ItemPointer& item, int seconds) {
    return TestSupport::waitUntil([&] { return item->isFinished() && !item->cancelToken; },
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
        return ChannelsServices::answer(request, origin, videoBytes, chunkDelayMs)
            .value_or(HttpTestServer::Reply::text("not here", 404));
    });
}

}  // namespace ManagerTest
