#include "app/login_helper_client.h"
#include "channels/cookie_jar.h"
#include "channels/yuanbao.h"
#include "common/test_media.h"
#include "common/test_support.h"
#include "login/login_fixture.h"
#include "manager/download_manager.h"
#include "support/app_paths.h"
#include "support/log.h"
#include "support/settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include <csignal>

#include <unistd.h>

using namespace LoginTest;
using namespace std::chrono_literals;

namespace {

QNetworkCookie jarToken() {
    for (const QNetworkCookie& cookie : CookieJar::read()) {
        if (cookie.name() == Yuanbao::kTokenCookie) return cookie;
    }
    return QNetworkCookie();
}

int logCount(const QString& message) {
    QFile file(AppPaths::appLog());
    if (!file.open(QIODevice::ReadOnly)) return 0;
    return int(QString::fromUtf8(file.readAll()).count(QStringLiteral("] ") + message + u'\n'));
}

QNetworkCookie cookie(const QByteArray& name, const QByteArray& value, const QString& domain) {
    QNetworkCookie made(name, value);
    made.setDomain(domain);
    made.setPath(QStringLiteral("/"));
    made.setExpirationDate(QDateTime::currentDateTimeUtc().addDays(30));
    made.setHttpOnly(true);
    return made;
}

// The helpers this test process runs (other tests may run theirs at the same time).
int helpersStarted() {
    const QList<qint64> children = descendants(::getpid());
    return int(std::count_if(children.begin(), children.end(), [](qint64 pid) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        return cmdline.open(QIODevice::ReadOnly) &&
               cmdline.readAll().startsWith(QUORVIN_BUILD_DIR "/src/login/quorvin-login");
    }));
}

// One test's desktop: its own display with the real helper, and the Yuanbao stand-in.
class LoginWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_session.ready()) << "Xvfb and openbox did not start";
        qputenv("QUORVIN_LOGIN_PROGRAM", QUORVIN_BUILD_DIR "/src/login/quorvin-login");
        serveYuanbao(TestMedia::mp4Bytes(300'000));
    }

    // A window whose reports are counted.
    std::shared_ptr<LoginHelperClient> makeWindow() {
        auto window = std::make_shared<LoginHelperClient>();
        window->onFinish = [this](bool ok) { m_reports.append(ok); };
        return window;
    }

    XSession m_session;
    QList<bool> m_reports;
};

}  // namespace

TEST_F(LoginWindowTest, AChannelsLinkWithoutLoginOpensTheWindowAndDownloadsAfterTheScan) {
    DesktopServices services;
    services.makeLoginWindow = [] { return std::make_shared<LoginHelperClient>(); };
    DownloadManager manager(services, YtDlp::Settings{});
    const auto item = manager.submit(QUrl(QStringLiteral("https://weixin.qq.com/sph/A1b2C3")),
                                     Platform::channels);

    const QString window = waitForLoginWindow();
    ASSERT_FALSE(window.isEmpty()) << "the login window did not open by itself";
    ASSERT_TRUE(TestSupport::waitUntil([] { return pagesReady() == 1; }, 30s));
    ASSERT_TRUE(clickLogin(window));

    ASSERT_TRUE(TestSupport::waitUntil([&] { return item->phase().kind() == Phase::done; }, 30s))
        << "the waiting item did not download after the login";
    const QNetworkCookie token = jarToken();
    EXPECT_EQ(token.value(), "token-1");
    EXPECT_TRUE(token.isHttpOnly());
    EXPECT_EQ(token.domain(), QStringLiteral("127.0.0.1"));
    // The QR site's cookie stayed in the web view.
    for (const QNetworkCookie& stored : CookieJar::read()) EXPECT_NE(stored.name(), "wx_qr");
    EXPECT_EQ(logCount(QStringLiteral("元宝登录成功")), 1);
    EXPECT_TRUE(Settings::yuanbaoEverLoggedIn());
    EXPECT_TRUE(TestSupport::waitUntil([] { return loginWindows().isEmpty(); }, 15s));
    EXPECT_FALSE(manager.hasLoginWindow());
    EXPECT_TRUE(QFileInfo(item->phase().file()).dir().path() == AppPaths::desktop());
    EXPECT_EQ(QFileInfo(item->phase().file()).size(), 300'000);
}

TEST_F(LoginWindowTest, AnExistingLoginCountsOnlyOnceANewTokenArrives) {
    CookieJar::write({cookie("hy_token", "old-token", QStringLiteral("127.0.0.1")),
                      cookie("other", "kept", QStringLiteral(".example.org"))});
    const QFileInfo before(CookieJar::path());
    auto login = makeWindow();
    login->show();
    const QString window = waitForLoginWindow();
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(TestSupport::waitUntil([] { return pagesReady() == 1; }, 30s));
    // The page was opened with the stored login, HttpOnly as it is.
    EXPECT_EQ(homeTokenSent(), "old-token");

    // A poll or more later the window is still open, and seeding wrote nothing back.
    TestSupport::waitUntil([] { return false; }, 1200ms);
    EXPECT_TRUE(m_reports.isEmpty());
    EXPECT_EQ(loginWindows().size(), 1);
    EXPECT_EQ(QFileInfo(CookieJar::path()).lastModified(), before.lastModified());

    ASSERT_TRUE(clickLogin(window));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !m_reports.isEmpty(); }, 20s));
    EXPECT_EQ(m_reports, QList<bool>{true});
    // The overwrite replaced the old cookie; the other site's cookie is untouched.
    const QList<QNetworkCookie> jar = CookieJar::read();
    ASSERT_EQ(jar.size(), 2);
    EXPECT_EQ(jar[0].name(), "hy_token");
    EXPECT_EQ(jar[0].value(), "token-1");
    EXPECT_EQ(jar[1].name(), "other");
    EXPECT_TRUE(TestSupport::waitUntil([] { return loginWindows().isEmpty(); }, 15s));
}

TEST_F(LoginWindowTest, ClosingByHandReportsFalseOnceAndALaterLoginNothing) {
    auto login = makeWindow();
    login->show();
    const QString window = waitForLoginWindow();
    ASSERT_FALSE(window.isEmpty());
    const qint64 helper = windowPid(window);
    closeByHand(window);

    ASSERT_TRUE(TestSupport::waitUntil([&] { return !m_reports.isEmpty(); }, 15s));
    EXPECT_EQ(m_reports, QList<bool>{false});
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !isRunning(helper); }, 15s));

    CookieJar::insert(cookie("hy_token", "late-token", QStringLiteral("127.0.0.1")));
    TestSupport::waitUntil([] { return false; }, 2s);
    EXPECT_EQ(m_reports, QList<bool>{false});
    EXPECT_EQ(logCount(QStringLiteral("元宝登录成功")), 0);
    login->show();  // single-use: nothing opens again
    TestSupport::waitUntil([] { return false; }, 500ms);
    EXPECT_TRUE(loginWindows().isEmpty());
}

TEST_F(LoginWindowTest, AKilledHelperReportsFalseOnceAndTakesItsChildrenAlong) {
    auto login = makeWindow();
    login->show();
    const QString window = waitForLoginWindow();
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(TestSupport::waitUntil([] { return pagesReady() == 1; }, 30s));
    const qint64 helper = windowPid(window);
    const QList<qint64> children = descendants(helper);
    EXPECT_FALSE(children.isEmpty()) << "the web view runs in processes of its own";

    ::kill(pid_t(helper), SIGKILL);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !m_reports.isEmpty(); }, 15s));
    EXPECT_EQ(m_reports, QList<bool>{false});
    EXPECT_TRUE(TestSupport::waitUntil(
        [&] { return std::none_of(children.begin(), children.end(), isRunning); }, 15s));
    TestSupport::waitUntil([] { return false; }, 300ms);
    EXPECT_EQ(m_reports.size(), 1);
}

TEST_F(LoginWindowTest, ASecondShowRaisesTheOpenWindowAndStartsNothing) {
    auto login = makeWindow();
    login->show();
    login->show();
    const QString window = waitForLoginWindow();
    ASSERT_FALSE(window.isEmpty());
    EXPECT_EQ(helpersStarted(), 1);

    // Minimised, then asked for again: the same window comes back to the front.
    TestSupport::run(QStringLiteral("xdotool"), {QStringLiteral("windowminimize"), window});
    ASSERT_TRUE(TestSupport::waitUntil([] { return loginWindows().isEmpty(); }, 10s));
    login->show();
    EXPECT_EQ(waitForLoginWindow(3), window);
    EXPECT_TRUE(TestSupport::waitUntil(
        [&] {
            return TestSupport::run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")})
                       .out.trimmed() == window.toUtf8();
        },
        3s));
    EXPECT_EQ(helpersStarted(), 1);
    EXPECT_TRUE(m_reports.isEmpty());
}

TEST_F(LoginWindowTest, LogoutRemovesTheYuanbaoCookiesAndTheNextLinkAsksAgain) {
    CookieJar::write({cookie("hy_token", "token-0", QStringLiteral("127.0.0.1")),
                      cookie("session", "s", QStringLiteral("127.0.0.1")),
                      cookie("other", "kept", QStringLiteral(".example.org"))});
    DesktopServices services;
    services.makeLoginWindow = [] { return std::make_shared<LoginHelperClient>(); };
    DownloadManager manager(services, YtDlp::Settings{});
    int shows = 0;
    QObject::connect(&manager, &DownloadManager::showRequested, [&] { ++shows; });

    manager.logoutYuanbao();
    const QList<QNetworkCookie> jar = CookieJar::read();
    ASSERT_EQ(jar.size(), 1);
    EXPECT_EQ(jar[0].name(), "other");
    EXPECT_EQ(manager.yuanbao().loggedIn(), std::optional<bool>(false));

    manager.submit(QUrl(QStringLiteral("https://weixin.qq.com/sph/Z9y8X7")), Platform::channels);
    const QString window = waitForLoginWindow();
    ASSERT_FALSE(window.isEmpty()) << "the next Channels link did not ask for a login";
    EXPECT_TRUE(manager.hasLoginWindow());
    closeByHand(window);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !manager.hasLoginWindow(); }, 15s));
    EXPECT_EQ(shows, 1);
    EXPECT_EQ(manager.items().first()->phase().kind(), Phase::failed);
}

namespace {

// How many clearly red pixels the top `rows` of the window show: the help text's band, where
// a problem is written in red.
int redPixelsAtTheTop(const QString& window, int rows) {
    const QByteArray shell =
        TestSupport::run(QStringLiteral("xdotool"),
                         {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window})
            .out;
    QMap<QByteArray, int> geometry;
    for (const QByteArray& line : shell.split('\n')) {
        const QList<QByteArray> pair = line.split('=');
        if (pair.size() == 2) geometry[pair[0]] = pair[1].toInt();
    }
    const int width = geometry.value("WIDTH");
    if (width <= 0) return 0;
    const QByteArray pixels =
        TestSupport::run(
            QStringLiteral("ffmpeg"),
            {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-f"),
             QStringLiteral("x11grab"), QStringLiteral("-video_size"),
             QStringLiteral("%1x%2").arg(width).arg(rows), QStringLiteral("-i"),
             qEnvironmentVariable("DISPLAY") +
                 QStringLiteral("+%1,%2").arg(geometry.value("X")).arg(geometry.value("Y")),
             QStringLiteral("-frames:v"), QStringLiteral("1"), QStringLiteral("-f"),
             QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"), QStringLiteral("rgb24"),
             QStringLiteral("-")})
            .out;
    int red = 0;
    for (qsizetype i = 0; i + 2 < pixels.size(); i += 3) {
        const auto r = quint8(pixels[i]), g = quint8(pixels[i + 1]), b = quint8(pixels[i + 2]);
        if (r > 170 && g < 90 && b < 90) ++red;
    }
    return red;
}

}  // namespace

TEST_F(LoginWindowTest, ALoginThatCannotBeSavedIsReportedAndEndsAsFailed) {
    ASSERT_TRUE(QDir().mkpath(CookieJar::path()));  // the jar is a folder
    auto login = makeWindow();
    login->show();
    const QString window = waitForLoginWindow();
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(TestSupport::waitUntil([] { return pagesReady() == 1; }, 30s));
    EXPECT_EQ(redPixelsAtTheTop(window, 60), 0);
    ASSERT_TRUE(clickLogin(window));

    QStringList said;
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] {
            said = TestSupport::logLines().filter(QStringLiteral("登录信息无法保存"));
            return !said.isEmpty() || !m_reports.isEmpty();
        },
        10s))
        << "the login neither succeeded nor failed";
    ASSERT_EQ(said.size(), 1);
    EXPECT_TRUE(said[0].contains(CookieJar::path())) << said[0].toStdString();
    EXPECT_TRUE(said[0].contains(QStringLiteral("Is a directory"))) << said[0].toStdString();
    // The window says so too, for a moment, then closes as a failed login.
    EXPECT_TRUE(TestSupport::waitUntil([&] { return redPixelsAtTheTop(window, 60) > 20; }, 3s));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !m_reports.isEmpty(); }, 20s));
    EXPECT_EQ(m_reports, QList<bool>{false});
    EXPECT_TRUE(TestSupport::waitUntil([] { return loginWindows().isEmpty(); }, 20s));
    EXPECT_EQ(logCount(QStringLiteral("元宝登录成功")), 0);
    EXPECT_EQ(m_reports.size(), 1);
}
