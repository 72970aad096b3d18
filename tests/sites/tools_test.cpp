#include "sites/tools.h"
#include "common/test_support.h"
#include "sites/site_test_support.h"
#include "support/app_paths.h"
#include "support/shell.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

namespace {

const QByteArray kVersionTool =
    "#!/bin/sh\n[ \"$1\" = --version ] && cat \"$(dirname \"$0\")/version\"\n";

void setVersion(const QString& version) {
    TestSupport::writeFile(SiteTest::toolsDir() + QStringLiteral("/version"),
                           version.toUtf8() + "\n");
}

}  // namespace

TEST(Tools, FindsAToolInLocalBinWhileChildrenStillSearchHomebrewFirst) {
    Tools::setSearchDirsForTesting({});  // the real list
    const QString local = AppPaths::home() + QStringLiteral("/.local/bin");
    const QString path =
        TestSupport::writeFile(local + QStringLiteral("/quorvin-test-tool"), "#!/bin/sh\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_EQ(Tools::find(QStringLiteral("quorvin-test-tool")), path);
    QStringList dirs = Tools::environment().value(QStringLiteral("PATH")).split(u':');
    ASSERT_GE(dirs.size(), 4);
    EXPECT_EQ(dirs[0], u"/opt/homebrew/bin");
    EXPECT_EQ(dirs[1], u"/usr/local/bin");
    EXPECT_EQ(dirs[2], local);
    EXPECT_TRUE(dirs.contains(u"/usr/bin"));
    EXPECT_TRUE(dirs.contains(u"/sbin"));
    EXPECT_EQ(dirs.removeDuplicates(), 0);
}

TEST(Tools, IgnoresFilesThatAreNotExecutableAndFolders) {
    SiteTest::searchFakeToolsFirst();
    TestSupport::writeFile(SiteTest::toolsDir() + QStringLiteral("/plain"), "#!/bin/sh\n");
    QDir().mkpath(SiteTest::toolsDir() + QStringLiteral("/folder"));
    EXPECT_EQ(Tools::find(QStringLiteral("plain")), std::nullopt);
    EXPECT_EQ(Tools::find(QStringLiteral("folder")), std::nullopt);
    // Not cached: made executable, it is found at the next look.
    QFile::setPermissions(SiteTest::toolsDir() + QStringLiteral("/plain"),
                          QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_EQ(Tools::find(QStringLiteral("plain")),
              SiteTest::toolsDir() + QStringLiteral("/plain"));
}

TEST(Tools, EnvironmentDropsEmptyProxiesAndKeepsSetOnes) {
    qputenv("https_proxy", "");
    qputenv("ALL_PROXY", "");
    qputenv("HTTP_PROXY", "http://127.0.0.1:3128");
    qputenv("LANG", "C");
    const QProcessEnvironment env = Tools::environment();
    EXPECT_FALSE(env.contains(QStringLiteral("https_proxy")));
    EXPECT_FALSE(env.contains(QStringLiteral("ALL_PROXY")));
    EXPECT_EQ(env.value(QStringLiteral("HTTP_PROXY")), u"http://127.0.0.1:3128");
    EXPECT_EQ(env.value(QStringLiteral("LANG")), u"en_US.UTF-8");
    EXPECT_EQ(env.value(QStringLiteral("PYTHONIOENCODING")), u"utf-8");
    EXPECT_EQ(env.value(QStringLiteral("HOMEBREW_NO_ENV_HINTS")), u"1");
    EXPECT_EQ(env.value(QStringLiteral("HOMEBREW_NO_INSTALL_CLEANUP")), u"1");
    EXPECT_EQ(env.value(QStringLiteral("HOME")), AppPaths::home());  // the rest is inherited
}

TEST(Tools, StatusTextNamesWhatIsMissingOrTheVersion) {
    Tools::setSearchDirsForTesting({SiteTest::toolsDir()});
    EXPECT_EQ(Tools::statusText(), u"缺少 yt-dlp");
    SiteTest::writeTool(QStringLiteral("yt-dlp"), kVersionTool);
    setVersion(QStringLiteral("2025.04.30"));
    EXPECT_EQ(Tools::statusText(), u"缺少 ffmpeg");
    SiteTest::writeTool(QStringLiteral("ffmpeg"), "#!/bin/sh\n");
    EXPECT_EQ(Tools::statusText(), u"yt-dlp 2025.04.30");
    setVersion(QString());
    EXPECT_EQ(Tools::statusText(), u"yt-dlp");
}

TEST(Tools, StatusTextOfTheRealTools) {
    Tools::setSearchDirsForTesting({QStringLiteral("/usr/bin")});
    const QString version =
        TestSupport::run(QStringLiteral("/usr/bin/yt-dlp"), {QStringLiteral("--version")})
            .out.trimmed();
    ASSERT_FALSE(version.isEmpty());
    EXPECT_EQ(Tools::statusText(), QStringLiteral("yt-dlp ") + version);
}

TEST(Tools, UpdateWithoutYtDlpOrOutsideHomebrew) {
    Tools::setSearchDirsForTesting({SiteTest::toolsDir()});
    EXPECT_EQ(Tools::update(), u"缺少 yt-dlp，请先安装");
    const QString witness = TestSupport::home() + QStringLiteral("/brew-ran");
    SiteTest::writeTool(QStringLiteral("yt-dlp"), kVersionTool);
    SiteTest::writeTool(QStringLiteral("brew"),
                        QStringLiteral("#!/bin/sh\ntouch '%1'\n").arg(witness).toUtf8());
    setVersion(QStringLiteral("2025.01.01"));
    // The fake folder is not a Homebrew prefix: brew must not be run.
    EXPECT_EQ(Tools::update(), u"yt-dlp 不是用 Homebrew 安装的，请手动更新");
    EXPECT_FALSE(QFile::exists(witness));
}

TEST(Tools, UpdateReportsANewVersionNoChangeOrAFailure) {
    Tools::setSearchDirsForTesting({SiteTest::toolsDir()});
    Tools::setHomebrewPrefixesForTesting({SiteTest::toolsDir() + QLatin1Char('/')});
    SiteTest::writeTool(QStringLiteral("yt-dlp"), kVersionTool);
    const QString args = TestSupport::home() + QStringLiteral("/brew-args");
    // brew "upgrades" by writing the next version, or fails with a long output.
    SiteTest::writeTool(
        QStringLiteral("brew"),
        QStringLiteral("#!/bin/sh\necho \"$@\" > '%1'\nd=$(dirname \"$0\")\n"
                       "if [ -f \"$d/fail\" ]; then i=0; while [ $i -lt 100 ]; do "
                       "echo \"line $i of a long network error\"; i=$((i+1)); done; exit 1; fi\n"
                       "[ -f \"$d/next\" ] && cp \"$d/next\" \"$d/version\"\nexit 0\n")
            .arg(args)
            .toUtf8());

    setVersion(QStringLiteral("2025.01.01"));
    TestSupport::writeFile(SiteTest::toolsDir() + QStringLiteral("/next"), "2025.04.30\n");
    EXPECT_EQ(Tools::update(), u"已更新到 yt-dlp 2025.04.30");
    QFile argsFile(args);
    ASSERT_TRUE(argsFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(argsFile.readAll(), "upgrade yt-dlp\n");

    EXPECT_EQ(Tools::update(), u"yt-dlp 2025.04.30 已是最新");

    TestSupport::writeFile(SiteTest::toolsDir() + QStringLiteral("/fail"), "");
    EXPECT_EQ(Tools::update(), u"更新失败（网络问题？），仍是 2025.04.30");
    QFile log(AppPaths::appLog());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    const qsizetype at = text.indexOf(QStringLiteral("brew upgrade yt-dlp 失败："));
    ASSERT_GE(at, 0);
    const QString logged =
        text.mid(at + QStringLiteral("brew upgrade yt-dlp 失败：").size()).trimmed();
    EXPECT_TRUE(logged.endsWith(u"line 99 of a long network error"));
    EXPECT_FALSE(logged.contains(u"line 0 of"));  // only the last 800 characters
    EXPECT_LE(logged.size(), 800);
}

TEST(Tools, RunUsesTheToolEnvironment) {
    qputenv("PATH", "/nowhere");
    const QString tool = SiteTest::writeTool(QStringLiteral("tool"), "#!/bin/sh\necho \"$PATH\"\n");
    EXPECT_TRUE(Tools::run(tool, {}).output.startsWith(u"/opt/homebrew/bin:"));
    EXPECT_EQ(Shell::run(tool, {}).output, u"/nowhere\n");
}
