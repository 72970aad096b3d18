#include "channels/cookie_jar.h"
#include "common/test_support.h"
#include "core/background.h"
#include "manager/manager_fixture.h"
#include "sites/installation.h"
#include "sites/tools.h"
#include "support/app_paths.h"
#include "support/settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QThreadPool>

using namespace ManagerTest;

namespace {

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool logHas(const QString& text) {
    const QStringList lines = logLines();
    return std::any_of(lines.begin(), lines.end(), [&](const QString& line) {
        return line.endsWith(QStringLiteral("] ") + text);
    });
}

// A short real clip, served by the loopback server at /clip.mp4.
QString serveClip() {
    const QString clip = TestSupport::home() + QStringLiteral("/media/clip.mp4");
    EXPECT_TRUE(TestMedia::makeClip(clip, 2, QSize(160, 120), 15));
    server().setHandler(HttpTestServer::folder(QFileInfo(clip).path()));
    return clip;
}

// A Firefox profile whose cookie store yt-dlp reads: a real (empty) moz_cookies table.
void makeFirefoxProfile() {
    const QString profile = TestSupport::home() + QStringLiteral("/.mozilla/firefox/t.default");
    QDir().mkpath(profile);
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sqlite3,sys; db=sqlite3.connect(sys.argv[1]); "
                                 "db.execute('CREATE TABLE moz_cookies (host TEXT, name TEXT, "
                                 "value TEXT, path TEXT, expiry INTEGER, isSecure INTEGER, "
                                 "originAttributes TEXT)'); db.commit()"),
                  profile + QStringLiteral("/cookies.sqlite")});
    EXPECT_TRUE(python.waitForFinished(30000) && python.exitCode() == 0);
}

}  // namespace

TEST(DownloadManager, SiteLinkThroughRealYtDlp) {
    const QString clip = serveClip();
    Harness harness;
    const QString link = server().origin() + QStringLiteral("/clip.mp4");
    auto item = harness.submit(QStringLiteral("看看这个 ") + link + QStringLiteral(" 很好看"));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->platform(), Platform::other);
    EXPECT_EQ(item->phase(), Phase::makeWorking(QStringLiteral("正在解析链接…")));
    ASSERT_TRUE(harness.waitFinished(item));

    ASSERT_EQ(item->phase().kind(), Phase::done) << item->phase().failure().title.toStdString()
                                                 << item->phase().failure().advice.toStdString();
    const QString saved = item->phase().file();
    EXPECT_EQ(QFileInfo(saved).path(), AppPaths::desktop());
    EXPECT_EQ(item->phase().size(), QFileInfo(saved).size());
    EXPECT_GT(item->phase().size(), 1000);
    EXPECT_EQ(item->title(), QStringLiteral("clip"));
    EXPECT_EQ(harness.activeChanges, (QList<bool>{true, false}));
    EXPECT_EQ(harness.shows, 1);
    EXPECT_TRUE(logHas(QStringLiteral("开始下载：[其他网站] ") + link));
    EXPECT_TRUE(logHas(QStringLiteral("下载完成：") + QFileInfo(saved).fileName()));
    EXPECT_TRUE(temporaryLeftovers().isEmpty()) << temporaryLeftovers().join(u',').toStdString();
}

TEST(DownloadManager, ChannelsLinkThroughTheServices) {
    logIn();
    const QByteArray video = mp4Bytes(300 * 1024);
    serveChannels(video);
    Harness harness;
    auto item = harness.submit(QStringLiteral("分享视频 ") + shareLink(QStringLiteral("Abc1")) +
                               QStringLiteral("，快看"));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->platform(), Platform::channels);
    ASSERT_TRUE(harness.waitFinished(item));
    ASSERT_EQ(item->phase().kind(), Phase::done) << item->phase().failure().title.toStdString();
    EXPECT_EQ(item->phase().file(), AppPaths::desktop() + QStringLiteral("/标题 Abc1.mp4"));
    EXPECT_EQ(fileBytes(item->phase().file()), video);
    EXPECT_EQ(item->phase().size(), video.size());
    EXPECT_EQ(item->title(), QStringLiteral("标题 Abc1"));
    EXPECT_EQ(item->thumbnail(), QUrl(server().origin() + QStringLiteral("/cover/Abc1")));
    EXPECT_TRUE(logHas(QStringLiteral("下载完成：标题 Abc1.mp4")));
    EXPECT_EQ(harness.shows, 1);
    EXPECT_TRUE(temporaryLeftovers().isEmpty());
    // The login cookie went to the service, and never into the log.
    for (const QString& line : logLines()) EXPECT_FALSE(line.contains(u"secret-token-value"));
}

TEST(DownloadManager, ChannelsProgressGoesThroughTheSpeedMeter) {
    logIn();
    serveChannels(mp4Bytes(2 << 20), 30);
    Harness harness;
    auto item = harness.submit(shareLink(QStringLiteral("Slow")));
    QStringList texts;
    QObject::connect(item.get(), &DownloadItem::phaseChanged, [&] {
        if (item->phase().kind() == Phase::downloading) texts.append(item->phase().text());
    });
    ASSERT_TRUE(harness.waitFinished(item));
    ASSERT_EQ(item->phase().kind(), Phase::done);
    ASSERT_GE(texts.size(), 3);
    EXPECT_EQ(texts.first(), QStringLiteral("开始下载…"));
    EXPECT_TRUE(texts.last().startsWith(u"100% · 2.0 MB / 2.0 MB")) << texts.last().toStdString();
}

TEST(DownloadManager, DuplicateSubmitWhileActiveMovesTheItemUp) {
    logIn();
    serveChannels(mp4Bytes(1 << 20), 40);
    Harness harness;
    auto first = harness.submit(shareLink(QStringLiteral("One")));
    auto second = harness.submit(shareLink(QStringLiteral("Two")));
    ASSERT_EQ(harness.manager->items(), (QList<DownloadManager::ItemPointer>{second, first}));
    auto again = harness.submit(QStringLiteral("再来 ") + shareLink(QStringLiteral("One")));
    EXPECT_EQ(again, first);
    EXPECT_EQ(harness.manager->items(), (QList<DownloadManager::ItemPointer>{first, second}));
    EXPECT_TRUE(first->isActive());

    ASSERT_TRUE(harness.waitFinished(first));
    ASSERT_TRUE(harness.waitFinished(second));
    // After it has finished, the same link makes a second item and saves a second file.
    auto third = harness.submit(shareLink(QStringLiteral("One")));
    EXPECT_NE(third, first);
    EXPECT_EQ(harness.manager->items().size(), 3);
    ASSERT_TRUE(harness.waitFinished(third));
    EXPECT_EQ(third->phase().file(), AppPaths::desktop() + QStringLiteral("/标题 One (2).mp4"));
    EXPECT_EQ(first->phase().file(), AppPaths::desktop() + QStringLiteral("/标题 One.mp4"));
    // Each row names the file it saved, not the title they share.
    EXPECT_EQ(third->title(), u"标题 One (2)");
    EXPECT_EQ(first->title(), u"标题 One");
}

TEST(DownloadManager, RetryKeepsTheItemAndItsTitle) {
    serveChannels(mp4Bytes(1 << 20), 20);
    Harness harness;
    auto item = harness.submit(shareLink(QStringLiteral("Re")));  // not logged in: fails
    ASSERT_TRUE(harness.waitFinished(item));
    ASSERT_EQ(item->phase().kind(), Phase::failed);
    logIn();
    auto other = harness.submit(shareLink(QStringLiteral("Other")));
    ASSERT_TRUE(harness.waitFinished(other));
    const QUuid id = item->id();
    item->setTitle(QStringLiteral("保留的标题"));

    harness.manager->retry(item);
    EXPECT_EQ(harness.manager->items().first(), item);
    EXPECT_EQ(item->id(), id);
    EXPECT_EQ(item->title(), QStringLiteral("保留的标题"));
    EXPECT_TRUE(item->isActive());
    const int runs =
        int(std::count(harness.activeChanges.begin(), harness.activeChanges.end(), true));
    harness.manager->retry(item);  // an active item is left alone
    EXPECT_EQ(std::count(harness.activeChanges.begin(), harness.activeChanges.end(), true), runs);
    ASSERT_TRUE(harness.waitFinished(item));
}

TEST(DownloadManager, CancelEndsAsCancellationWithoutBringingThePanelForward) {
    logIn();
    serveChannels(mp4Bytes(4 << 20), 50);
    Harness harness;
    auto item = harness.submit(shareLink(QStringLiteral("Cx")));
    ASSERT_TRUE(TestSupport::waitUntil([&] {
        return item->phase().kind() == Phase::downloading && item->phase().fraction().has_value();
    }));
    harness.manager->cancel(item);
    ASSERT_TRUE(harness.waitFinished(item));
    ASSERT_EQ(item->phase().kind(), Phase::failed);
    EXPECT_TRUE(item->phase().failure().isCancel);
    EXPECT_EQ(harness.shows, 0);
    EXPECT_EQ(harness.activeChanges.last(), false);
    EXPECT_TRUE(logHas(QStringLiteral("已取消：") + shareLink(QStringLiteral("Cx"))));
    EXPECT_TRUE(QDir(AppPaths::desktop()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(temporaryLeftovers().isEmpty()) << temporaryLeftovers().join(u',').toStdString();
}

TEST(DownloadManager, RemoveCancelsAndClearFinishedKeepsActiveOnes) {
    logIn();
    serveChannels(mp4Bytes(4 << 20), 50);
    Harness harness;
    auto running = harness.submit(shareLink(QStringLiteral("Run")));
    harness.manager->clearFinished();
    EXPECT_EQ(harness.manager->items().size(), 1);
    harness.manager->remove(running);
    EXPECT_TRUE(harness.manager->items().isEmpty());
    ASSERT_TRUE(harness.waitFinished(running));
    EXPECT_TRUE(running->phase().failure().isCancel);
    EXPECT_TRUE(temporaryLeftovers().isEmpty());
}

TEST(DownloadManager, OneLoginRetriesEveryWaitingChannelsItem) {
    serveChannels(mp4Bytes(64 * 1024));
    Harness harness;
    auto first = harness.submit(shareLink(QStringLiteral("L1")));
    ASSERT_TRUE(harness.waitFinished(first));
    // The missing login opens the window by itself, once.
    ASSERT_EQ(harness.loginWindows.size(), 1);
    EXPECT_EQ(harness.loginWindows.first()->shown, 1);
    EXPECT_TRUE(first->autoLoginShown);
    EXPECT_EQ(harness.manager->yuanbao().loggedIn(), std::optional<bool>(false));
    EXPECT_TRUE(first->phase().failure().actions.contains(Failure::Action::loginYuanbao));
    EXPECT_EQ(harness.shows, 0);

    auto second = harness.submit(shareLink(QStringLiteral("L2")));
    ASSERT_TRUE(harness.waitFinished(second));
    // The open window is brought forward, not duplicated.
    EXPECT_EQ(harness.loginWindows.size(), 1);
    EXPECT_EQ(harness.loginWindows.first()->shown, 2);

    logIn();
    harness.loginWindows.first()->finish(true);
    EXPECT_FALSE(harness.manager->hasLoginWindow());
    EXPECT_TRUE(first->isActive());
    EXPECT_TRUE(second->isActive());
    ASSERT_TRUE(harness.waitFinished(first));
    ASSERT_TRUE(harness.waitFinished(second));
    EXPECT_EQ(first->phase().kind(), Phase::done);
    EXPECT_EQ(second->phase().kind(), Phase::done);
    EXPECT_EQ(harness.manager->yuanbao().loggedIn(), std::optional<bool>(true));
}

TEST(DownloadManager, ARemovedItemStaysGoneWhenTheLoginCompletes) {
    serveChannels(mp4Bytes(64 * 1024));
    Harness harness;
    auto removed = harness.submit(shareLink(QStringLiteral("R1")));
    ASSERT_TRUE(harness.waitFinished(removed));
    ASSERT_EQ(harness.loginWindows.size(), 1);  // opened for the removed item
    harness.manager->remove(removed);
    logIn();
    harness.loginWindows.first()->finish(true);
    EXPECT_TRUE(harness.manager->items().isEmpty());
    EXPECT_FALSE(removed->isActive());
    EXPECT_FALSE(harness.manager->hasActive());
}

TEST(DownloadManager, ACancelledLoginRestartsNothingButShowsThePanel) {
    serveChannels(mp4Bytes(64 * 1024));
    Harness harness;
    auto first = harness.submit(shareLink(QStringLiteral("N1")));
    ASSERT_TRUE(harness.waitFinished(first));
    auto second = harness.submit(shareLink(QStringLiteral("N2")));
    ASSERT_TRUE(harness.waitFinished(second));
    harness.loginWindows.first()->finish(false);
    EXPECT_EQ(harness.shows, 1);
    EXPECT_FALSE(first->isActive());
    EXPECT_FALSE(second->isActive());
    // A second failure of the same item shows its failure without opening the window again.
    harness.manager->retry(first);
    ASSERT_TRUE(harness.waitFinished(first));
    EXPECT_EQ(harness.loginWindows.size(), 1);
    EXPECT_EQ(harness.shows, 2);
}

TEST(DownloadManagerCommands, RemediesReachTheDesktop) {
    Harness harness;
    auto item = std::make_shared<DownloadItem>(QUrl(QStringLiteral("https://b23.tv/x")),
                                               Platform::bilibili);
    harness.manager->perform(Failure::Action::copyInstallCommand, item);
    EXPECT_EQ(harness.clipboard->contents, Tools::installCommand(Tools::Settings{}));
    harness.manager->perform(Failure::Action::openLogs, item);
    EXPECT_EQ(harness.workspace->opened, QList<QUrl>{QUrl::fromLocalFile(AppPaths::appLog())});
    harness.manager->perform(Failure::Action::openDesktopPrivacy, item);
    harness.manager->perform(Failure::Action::openFullDiskAccess, item);
    EXPECT_EQ(harness.workspace->panes, (QList<Workspace::Pane>{Workspace::Pane::filesAndFolders,
                                                                Workspace::Pane::fullDiskAccess}));
    // "在浏览器中打开" opens the download's own link.
    harness.manager->perform(Failure::Action::openLink, item);
    EXPECT_EQ(harness.workspace->opened.last(), QUrl(QStringLiteral("https://b23.tv/x")));
}

// A browser whose cookies yt-dlp cannot read (Chrome chosen, never installed) is not kept: the
// failure offers going on without it, and later downloads no longer carry it.
TEST(DownloadManagerCommands, ABrowserWhoseCookiesCannotBeReadIsNotKept) {
    serveClip();
    QDir(TestSupport::home() + QStringLiteral("/.mozilla")).removeRecursively();  // no browser
    Browser::setPreferred(Browser(Browser::chrome));
    Harness harness;
    ASSERT_EQ(harness.manager->cookieBrowser(), Browser(Browser::chrome));
    QSignalSpy changes(harness.manager.get(), &DownloadManager::cookieBrowserChanged);
    auto item = harness.submit(server().origin() + QStringLiteral("/clip.mp4"));
    ASSERT_TRUE(harness.waitFinished(item));
    ASSERT_EQ(item->phase().kind(), Phase::failed);
    EXPECT_EQ(item->phase().failure().title, u"读取 Chrome 的登录信息失败");
    EXPECT_EQ(item->phase().failure().actions,
              QList<Failure::Action>{Failure::Action::forgetBrowserCookies});
    EXPECT_FALSE(harness.manager->cookieBrowser().has_value());
    EXPECT_FALSE(Settings::value(QStringLiteral("cookieBrowser")).isValid());
    EXPECT_EQ(changes.size(), 1);
    // The box's "不使用浏览器登录信息" retries without cookies, and the clip arrives.
    harness.manager->perform(Failure::Action::forgetBrowserCookies, item);
    ASSERT_TRUE(harness.waitFinished(item));
    EXPECT_EQ(item->phase().kind(), Phase::done);
    EXPECT_FALSE(Harness().manager->cookieBrowser().has_value());
}

TEST(DownloadManagerCommands, BrowserCookiesAreRememberedAndRetried) {
    serveClip();
    makeFirefoxProfile();  // the retry reads its cookies, then meets the same 404
    Harness harness;
    auto item = harness.submit(server().origin() + QStringLiteral("/missing.mp4"));
    ASSERT_TRUE(harness.waitFinished(item));
    ASSERT_EQ(item->phase().kind(), Phase::failed);
    harness.manager->perform(Failure::Action::browserCookies(Browser::firefox), item);
    EXPECT_EQ(harness.manager->cookieBrowser(), Browser(Browser::firefox));
    EXPECT_EQ(Settings::value(QStringLiteral("cookieBrowser")).toString(),
              QStringLiteral("firefox"));
    EXPECT_TRUE(item->isActive());
    ASSERT_TRUE(harness.waitFinished(item));
    // A manager made at the next start reads the choice back.
    Harness next;
    EXPECT_EQ(next.manager->cookieBrowser(), Browser(Browser::firefox));
}

TEST(DownloadManagerCommands, ToolUpdateRunsOnceAtATime) {
    // A read-only yt-dlp that nobody known installed answers at once with the manual-update
    // advice.
    const QString tools = TestSupport::home() + QStringLiteral("/tools");
    TestSupport::writeFile(tools + QStringLiteral("/yt-dlp"),
                           "#!/bin/sh\nsleep 0.3\necho 2025.01.01\n");
    QFile::setPermissions(tools + QStringLiteral("/yt-dlp"), QFile::ReadOwner | QFile::ExeOwner);
    YtDlp::Settings settings;
    settings.tools.packageRoot = TestSupport::home();
    settings.tools.searchDirs = {tools};
    Harness harness(settings);
    QList<QString> statuses;
    QObject::connect(&harness.manager->tools(), &ToolsStatus::textChanged,
                     [&] { statuses.append(harness.manager->tools().text()); });
    harness.manager->tools().update();
    EXPECT_TRUE(harness.manager->tools().updating());
    EXPECT_EQ(harness.manager->tools().text(), QStringLiteral("正在更新 yt-dlp…"));
    harness.manager->tools().update();
    EXPECT_EQ(statuses.size(), 1);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !harness.manager->tools().updating(); }));
    EXPECT_EQ(harness.manager->tools().text(),
              QStringLiteral("yt-dlp 不是用 Homebrew 安装的，请手动更新"));
    EXPECT_TRUE(logHas(QStringLiteral("更新下载组件：yt-dlp 不是用 Homebrew 安装的，请手动更新")));
}

TEST(DownloadManagerCommands, StatusRefreshReadsLoginAndTools) {
    const QString tools = TestSupport::home() + QStringLiteral("/tools");
    QDir().mkpath(tools);
    YtDlp::Settings settings;
    settings.tools.searchDirs = {tools};
    Harness harness(settings);
    EXPECT_FALSE(harness.manager->yuanbao().loggedIn().has_value());
    harness.manager->refreshStatus();
    EXPECT_EQ(harness.manager->yuanbao().loggedIn(), std::optional<bool>(false));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !harness.manager->tools().text().isEmpty(); }));
    EXPECT_EQ(harness.manager->tools().text(), QStringLiteral("缺少 yt-dlp"));
    logIn();
    harness.manager->refreshStatus();
    EXPECT_EQ(harness.manager->yuanbao().loggedIn(), std::optional<bool>(true));
    EXPECT_TRUE(harness.manager->yuanbao().until().has_value());
    harness.manager->logoutYuanbao();
    EXPECT_EQ(harness.manager->yuanbao().loggedIn(), std::optional<bool>(false));
    EXPECT_TRUE(CookieJar::read().isEmpty());
}

TEST(DownloadManagerCommands, StatusRefreshAsksYtDlpAgainOnlyOnceItsFileChanged) {
    // Each version query leaves a line in `asked`.
    const QString tools = TestSupport::home() + QStringLiteral("/tools");
    const QString asked = TestSupport::home() + QStringLiteral("/asked");
    const auto install = [&](const QByteArray& version) {
        const QString path = TestSupport::writeFile(
            tools + QStringLiteral("/yt-dlp"),
            "#!/bin/sh\necho x >> '" + asked.toUtf8() + "'\necho " + version + "\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    };
    install("2025.01.01");
    const QString ffmpeg = TestSupport::writeFile(tools + QStringLiteral("/ffmpeg"), "#!/bin/sh\n");
    QFile::setPermissions(ffmpeg, QFile::ReadOwner | QFile::ExeOwner);
    YtDlp::Settings settings;
    settings.tools.searchDirs = {tools};
    Harness harness(settings);
    const auto queries = [&] {
        blockingWorkPool().waitForDone();  // every query has run to its end
        QFile file(asked);
        return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0;
    };

    // Every showing of the panel refreshes; only the first starts yt-dlp.
    harness.manager->refreshStatus();
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] { return harness.manager->tools().text() == u"yt-dlp 2025.01.01"; }));
    for (int showing = 0; showing < 3; ++showing) harness.manager->refreshStatus();
    EXPECT_EQ(queries(), 1);

    // Updated behind Quorvin's back (another version, another size): asked again.
    install("2025.12.31.1");
    harness.manager->refreshStatus();
    EXPECT_TRUE(TestSupport::waitUntil(
        [&] { return harness.manager->tools().text() == u"yt-dlp 2025.12.31.1"; }));
    EXPECT_EQ(queries(), 2);
}
