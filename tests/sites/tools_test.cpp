#include "sites/tools.h"
#include "common/test_support.h"
#include "sites/installation.h"
#include "sites/site_test_support.h"
#include "sites/ytdlp.h"
#include "support/app_paths.h"
#include "support/shell.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QByteArray kVersionTool =
    "#!/bin/sh\n[ \"$1\" = --version ] && cat \"$(dirname \"$0\")/version\"\n";

void setVersion(const QString& version) {
    TestSupport::writeFile(SiteTest::toolsDir() + QStringLiteral("/version"),
                           version.toUtf8() + "\n");
}

}  // namespace

TEST(Tools, FindsAToolInLocalBinWhileChildrenStillSearchHomebrewFirst) {
    const Tools::Settings settings;  // the real list
    const QString local = AppPaths::home() + QStringLiteral("/.local/bin");
    const QString path =
        TestSupport::writeFile(local + QStringLiteral("/quorvin-test-tool"), "#!/bin/sh\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_EQ(Tools::find(settings, QStringLiteral("quorvin-test-tool")), path);
    QStringList dirs = Tools::environment(settings).value(QStringLiteral("PATH")).split(u':');
    ASSERT_GE(dirs.size(), 4);
    EXPECT_EQ(dirs[0], u"/opt/homebrew/bin");
    EXPECT_EQ(dirs[1], u"/usr/local/bin");
    EXPECT_EQ(dirs[2], local);
    EXPECT_TRUE(dirs.contains(u"/usr/bin"));
    EXPECT_TRUE(dirs.contains(u"/sbin"));
    EXPECT_EQ(dirs.removeDuplicates(), 0);
}

TEST(Tools, IgnoresFilesThatAreNotExecutableAndFolders) {
    const Tools::Settings settings = SiteTest::fakeToolsFirst();
    TestSupport::writeFile(SiteTest::toolsDir() + QStringLiteral("/plain"), "#!/bin/sh\n");
    QDir().mkpath(SiteTest::toolsDir() + QStringLiteral("/folder"));
    EXPECT_EQ(Tools::find(settings, QStringLiteral("plain")), std::nullopt);
    EXPECT_EQ(Tools::find(settings, QStringLiteral("folder")), std::nullopt);
    // Not cached: made executable, it is found at the next look.
    QFile::setPermissions(SiteTest::toolsDir() + QStringLiteral("/plain"),
                          QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_EQ(Tools::find(settings, QStringLiteral("plain")),
              SiteTest::toolsDir() + QStringLiteral("/plain"));
}

TEST(Tools, EnvironmentDropsEmptyProxiesAndKeepsSetOnes) {
    qputenv("https_proxy", "");
    qputenv("ALL_PROXY", "");
    qputenv("HTTP_PROXY", "http://127.0.0.1:3128");
    qputenv("LANG", "C");
    const QProcessEnvironment env = Tools::environment(Tools::Settings{});
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
    Tools::Settings settings;
    settings.searchDirs = {SiteTest::toolsDir()};
    EXPECT_EQ(Tools::statusText(settings), u"缺少 yt-dlp");
    SiteTest::writeTool(QStringLiteral("yt-dlp"), kVersionTool);
    setVersion(QStringLiteral("2025.04.30"));
    EXPECT_EQ(Tools::statusText(settings), u"缺少 ffmpeg");
    SiteTest::writeTool(QStringLiteral("ffmpeg"), "#!/bin/sh\n");
    EXPECT_EQ(Tools::statusText(settings), u"yt-dlp 2025.04.30");
    setVersion(QString());
    EXPECT_EQ(Tools::statusText(settings), u"yt-dlp");
}

TEST(Tools, StatusTextOfTheRealTools) {
    Tools::Settings settings;
    settings.searchDirs = {QStringLiteral("/usr/bin")};
    const QString version =
        TestSupport::run(QStringLiteral("/usr/bin/yt-dlp"), {QStringLiteral("--version")})
            .out.trimmed();
    ASSERT_FALSE(version.isEmpty());
    EXPECT_EQ(Tools::statusText(settings), QStringLiteral("yt-dlp ") + version);
}

TEST(Tools, UpdateWithoutYtDlpOrOutsideHomebrew) {
    Tools::Settings settings;
    settings.searchDirs = {SiteTest::toolsDir()};
    settings.packageRoot = TestSupport::home();  // no package owns anything
    EXPECT_EQ(Tools::update(settings), u"缺少 yt-dlp，请先安装");
    const QString witness = TestSupport::home() + QStringLiteral("/brew-ran");
    SiteTest::writeTool(QStringLiteral("yt-dlp"), kVersionTool);
    SiteTest::writeTool(QStringLiteral("brew"),
                        QStringLiteral("#!/bin/sh\ntouch '%1'\n").arg(witness).toUtf8());
    setVersion(QStringLiteral("2025.01.01"));
    // Not in a Homebrew prefix, owned by no package, and marked read-only: nobody known
    // installed it, so nothing is run (not brew, not its own updater).
    QFile::setPermissions(SiteTest::toolsDir() + QStringLiteral("/yt-dlp"),
                          QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_EQ(Tools::update(settings), u"yt-dlp 不是用 Homebrew 安装的，请手动更新");
    EXPECT_FALSE(QFile::exists(witness));
}

TEST(Tools, UpdateReportsANewVersionNoChangeOrAFailure) {
    Tools::Settings settings;
    settings.searchDirs = {SiteTest::toolsDir()};
    settings.homebrewPrefixes = {SiteTest::toolsDir() + QLatin1Char('/')};
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
    EXPECT_EQ(Tools::update(settings), u"已更新到 yt-dlp 2025.04.30（原来是 2025.01.01）");
    QFile argsFile(args);
    ASSERT_TRUE(argsFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(argsFile.readAll(), "upgrade yt-dlp\n");

    EXPECT_EQ(Tools::update(settings), u"yt-dlp 2025.04.30 已是最新");

    TestSupport::writeFile(SiteTest::toolsDir() + QStringLiteral("/fail"), "");
    EXPECT_EQ(Tools::update(settings), u"更新失败（网络问题？），仍是 2025.04.30");
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
    EXPECT_TRUE(Tools::run(Tools::Settings{}, tool, {}).output.startsWith(u"/opt/homebrew/bin:"));
    EXPECT_EQ(Shell::run(tool, {}).output, u"/nowhere\n");
}

namespace {

// A recording stand-in: appends its name and arguments to home/calls, then runs `then`.
QByteArray recorder(const QString& name, const QByteArray& then = {}) {
    return "#!/bin/sh\necho \"" + name.toUtf8() + " $*\" >> '" +
           (TestSupport::home() + QStringLiteral("/calls")).toUtf8() + "'\n" + then;
}

QString calls() {
    QFile file(TestSupport::home() + QStringLiteral("/calls"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString logText() {
    QFile log(AppPaths::appLog());
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

// A yt-dlp that answers --version from the file "version" beside its real path, and on any
// other call records it and, with -U, moves to the version in "next".
QByteArray fakeYtDlp() {
    return "#!/bin/sh\nd=$(dirname \"$(readlink -f \"$0\")\")\n"
           "if [ \"$1\" = --version ]; then cat \"$d/version\"; exit 0; fi\n" +
           recorder(QStringLiteral("yt-dlp")).mid(10) +
           "[ \"$1\" = -U ] && [ -f \"$d/next\" ] && cp \"$d/next\" \"$d/version\"\nexit 0\n";
}

QString placeYtDlp(const QString& folder, const QString& version) {
    const QString path = TestSupport::writeFile(folder + QStringLiteral("/yt-dlp"), fakeYtDlp());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    TestSupport::writeFile(folder + QStringLiteral("/version"), version.toUtf8() + "\n");
    return path;
}

class ToolInstallations : public ::testing::Test {
protected:
    void SetUp() override {
        // A system with no package database and no os-release, unless a test lays them out.
        m_root = TestSupport::home() + QStringLiteral("/system");
        QDir().mkpath(m_root);
        settings.packageRoot = m_root;
        settings.osReleasePath = m_root + QStringLiteral("/etc/os-release");
        settings.homebrewPrefixes = {TestSupport::home() + QStringLiteral("/brew/")};
        SiteTest::writeTool(QStringLiteral("ffmpeg"), "#!/bin/sh\n");
    }
    void osRelease(const QByteArray& text) {
        TestSupport::writeFile(m_root + QStringLiteral("/etc/os-release"), text);
    }

    QString m_root;
    Tools::Settings settings;
};

}  // namespace

TEST_F(ToolInstallations, InstallCommandFollowsTheSystem) {
    const struct {
        const char* osRelease;
        const char* command;
    } systems[] = {
        {"PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n",
         "sudo apt install yt-dlp ffmpeg"},
        {"ID=ubuntu\nID_LIKE=debian\n", "sudo apt install yt-dlp ffmpeg"},
        {"ID=linuxmint\nID_LIKE=\"ubuntu debian\"\n", "sudo apt install yt-dlp ffmpeg"},
        {"ID=\"uos\"\n", "sudo apt install yt-dlp ffmpeg"},
        {"ID=fedora\n", "sudo dnf install yt-dlp ffmpeg"},
        {"ID=\"rocky\"\nID_LIKE=\"rhel centos fedora\"\n", "sudo dnf install yt-dlp ffmpeg"},
        {"ID=arch\n", "sudo pacman -S yt-dlp ffmpeg"},
        {"ID=manjaro\nID_LIKE=arch\n", "sudo pacman -S yt-dlp ffmpeg"},
        {"ID=\"opensuse-tumbleweed\"\nID_LIKE=\"opensuse suse\"\n",
         "sudo zypper install yt-dlp ffmpeg"},
        // A system none of these know: Homebrew's command (as on macOS).
        {"ID=nixos\n", "brew install yt-dlp ffmpeg deno"},
        {"not an os-release file at all", "brew install yt-dlp ffmpeg deno"},
    };
    for (const auto& system : systems) {
        osRelease(system.osRelease);
        EXPECT_EQ(Tools::installCommand(settings), QString::fromUtf8(system.command))
            << system.osRelease;
    }
    QFile::remove(m_root + QStringLiteral("/etc/os-release"));
    EXPECT_EQ(Tools::installCommand(settings), u"brew install yt-dlp ffmpeg deno");
    // The missing-ffmpeg advice quotes the same command.
    osRelease("ID=fedora\n");
    EXPECT_TRUE(
        YtDlp::failure(QStringLiteral("ffmpeg not found"), Platform::vimeo, std::nullopt, settings)
            .advice.endsWith(u"运行：sudo dnf install yt-dlp ffmpeg"));
}

TEST_F(ToolInstallations, HomebrewCellarIsUpgradedByBrew) {
    const QString brew = TestSupport::home() + QStringLiteral("/brew");
    const QString cellar = brew + QStringLiteral("/Cellar/yt-dlp/2025.01.01/bin");
    placeYtDlp(cellar, QStringLiteral("2025.01.01"));
    QDir().mkpath(brew + QStringLiteral("/bin"));
    QFile::link(cellar + QStringLiteral("/yt-dlp"), brew + QStringLiteral("/bin/yt-dlp"));
    TestSupport::writeFile(
        brew + QStringLiteral("/bin/brew"),
        recorder(QStringLiteral("brew"), "cp '" + cellar.toUtf8() + "/../../../../next' '" +
                                             cellar.toUtf8() + "/version'\n"));
    QFile::setPermissions(brew + QStringLiteral("/bin/brew"), QFile::ReadOwner | QFile::ExeOwner);
    TestSupport::writeFile(brew + QStringLiteral("/next"), "2025.04.30\n");
    settings.searchDirs = {brew + QStringLiteral("/bin"), SiteTest::toolsDir()};

    const Tools::Installation found = Tools::installationOf(settings, *Tools::ytdlp(settings));
    EXPECT_EQ(found.kind, Tools::Installation::Kind::homebrew);
    EXPECT_EQ(found.realPath, QFileInfo(cellar + QStringLiteral("/yt-dlp")).canonicalFilePath());
    EXPECT_EQ(Tools::update(settings), u"已更新到 yt-dlp 2025.04.30（原来是 2025.01.01）");
    EXPECT_EQ(calls(), u"brew upgrade yt-dlp\n");
    EXPECT_TRUE(logText().contains(u"brew upgrade yt-dlp 完成："));
}

TEST_F(ToolInstallations, PipxEnvironmentIsUpgradedByPipx) {
    const QString venv = TestSupport::home() + QStringLiteral("/.local/share/pipx/venvs/yt-dlp");
    placeYtDlp(venv + QStringLiteral("/bin"), QStringLiteral("2025.01.01"));
    TestSupport::writeFile(venv + QStringLiteral("/pipx_metadata.json"), "{}");
    const QString bin = TestSupport::home() + QStringLiteral("/.local/bin");
    QDir().mkpath(bin);
    QFile::link(venv + QStringLiteral("/bin/yt-dlp"), bin + QStringLiteral("/yt-dlp"));
    settings.searchDirs = {SiteTest::toolsDir(), bin};

    // Without pipx at hand the line names the command.
    EXPECT_EQ(Tools::installationOf(settings, *Tools::ytdlp(settings)).kind,
              Tools::Installation::Kind::pipx);
    EXPECT_EQ(Tools::update(settings),
              u"yt-dlp 2025.01.01 是用 pipx 安装的，请在终端运行：pipx upgrade yt-dlp");
    EXPECT_TRUE(calls().isEmpty());

    SiteTest::writeTool(QStringLiteral("pipx"),
                        recorder(QStringLiteral("pipx"), "echo 'upgraded package yt-dlp'\n"));
    EXPECT_EQ(Tools::update(settings), u"yt-dlp 2025.01.01 已是最新");
    EXPECT_EQ(calls(), u"pipx upgrade yt-dlp\n");
    EXPECT_TRUE(logText().contains(u"pipx upgrade yt-dlp 完成：upgraded package yt-dlp"));

    // A failing pipx keeps the old version and logs why.
    SiteTest::writeTool(QStringLiteral("pipx"),
                        recorder(QStringLiteral("pipx"), "echo 'network down' >&2\nexit 1\n"));
    EXPECT_EQ(Tools::update(settings), u"更新失败（网络问题？），仍是 2025.01.01");
    EXPECT_TRUE(logText().contains(u"pipx upgrade yt-dlp 失败：network down"));
}

TEST_F(ToolInstallations, WritableReleaseFileUpdatesItself) {
    const QString path = placeYtDlp(SiteTest::toolsDir(), QStringLiteral("2025.01.01"));
    TestSupport::writeFile(SiteTest::toolsDir() + QStringLiteral("/next"), "2025.04.30\n");
    settings.searchDirs = {SiteTest::toolsDir()};

    const Tools::Installation found = Tools::installationOf(settings, path);
    EXPECT_EQ(found.kind, Tools::Installation::Kind::standalone);
    EXPECT_EQ(found.updateCommand, u"yt-dlp -U");
    EXPECT_EQ(Tools::update(settings), u"已更新到 yt-dlp 2025.04.30（原来是 2025.01.01）");
    EXPECT_EQ(calls(), u"yt-dlp -U\n");
    EXPECT_TRUE(logText().contains(u"yt-dlp -U 完成："));

    // yt-dlp refuses some self-updates with an ERROR line but a zero exit status.
    TestSupport::writeFile(SiteTest::toolsDir() + QStringLiteral("/yt-dlp"),
                           fakeYtDlp().replace("exit 0\n",
                                               "echo 'ERROR: Unable to write to the "
                                               "executable'\nexit 0\n"));
    EXPECT_EQ(Tools::update(settings), u"更新失败（网络问题？），仍是 2025.04.30");
    EXPECT_TRUE(logText().contains(u"yt-dlp -U 失败：ERROR: Unable to write to the executable"));
}

TEST_F(ToolInstallations, DistributionPackageIsLeftToItsPackageManager) {
    const QString path = placeYtDlp(SiteTest::toolsDir(), QStringLiteral("2023.03.04"));
    settings.searchDirs = {SiteTest::toolsDir()};
    // dpkg's record of the yt-dlp package lists the file (root may write anywhere: ownership,
    // not permissions, decides).
    TestSupport::writeFile(m_root + QStringLiteral("/var/lib/dpkg/info/python3-other.list"),
                           "/usr\n/usr/lib/python3/dist-packages/other\n");
    TestSupport::writeFile(m_root + QStringLiteral("/var/lib/dpkg/info/yt-dlp.list"),
                           "/.\n/usr/bin\n" + path.toUtf8() + "\n");
    const Tools::Installation found = Tools::installationOf(settings, path);
    EXPECT_EQ(found.kind, Tools::Installation::Kind::distribution);
    EXPECT_EQ(found.description(), u"distribution package (dpkg)");
    const Tools::UpdateOutcome outcome = Tools::updateOutcome(settings);
    EXPECT_EQ(
        outcome.text,
        u"yt-dlp 2023.03.04 来自系统软件包，请在终端运行：sudo apt install --only-upgrade yt-dlp");
    // The panel offers to copy it.
    EXPECT_EQ(outcome.command, u"sudo apt install --only-upgrade yt-dlp");
    EXPECT_TRUE(calls().isEmpty());  // nothing but --version was run
    EXPECT_TRUE(logText().contains(u"属于 dpkg，未更新"));

    // Listed under another package's name, or owned by pacman: the same rule.
    QFile::remove(m_root + QStringLiteral("/var/lib/dpkg/info/yt-dlp.list"));
    TestSupport::writeFile(m_root + QStringLiteral("/var/lib/dpkg/info/youtube-dl.list"),
                           path.toUtf8() + "\n");
    EXPECT_EQ(Tools::installationOf(settings, path).kind, Tools::Installation::Kind::distribution);
    QFile::remove(m_root + QStringLiteral("/var/lib/dpkg/info/youtube-dl.list"));
    EXPECT_EQ(Tools::installationOf(settings, path).kind, Tools::Installation::Kind::standalone);
    TestSupport::writeFile(
        m_root + QStringLiteral("/var/lib/pacman/local/yt-dlp-2025.04.30-1/files"),
        "%FILES%\n" + path.mid(1).toUtf8() + "\n");
    EXPECT_EQ(Tools::installationOf(settings, path).updateCommand, u"sudo pacman -Syu yt-dlp");
    QDir(m_root + QStringLiteral("/var/lib/pacman")).removeRecursively();

    // rpm answers for its own files; the system names dnf or zypper.
    SiteTest::writeTool(QStringLiteral("rpm"),
                        recorder(QStringLiteral("rpm"),
                                 "[ \"$1\" = -qf ] && [ \"$2\" = '" + path.toUtf8() + "' ]\n"));
    osRelease("ID=fedora\n");
    EXPECT_EQ(Tools::installationOf(settings, path).owner, u"rpm");
    EXPECT_EQ(Tools::installationOf(settings, path).updateCommand, u"sudo dnf upgrade yt-dlp");
    osRelease("ID=\"opensuse-leap\"\nID_LIKE=\"suse opensuse\"\n");
    EXPECT_EQ(Tools::update(settings),
              u"yt-dlp 2023.03.04 来自系统软件包，请在终端运行：sudo zypper update yt-dlp");
    EXPECT_EQ(calls(), QStringLiteral("rpm -qf %1\n").arg(path).repeated(3));
}

TEST_F(ToolInstallations, PipScriptNamesPip) {
    const QString path = SiteTest::writeTool(
        QStringLiteral("yt-dlp"),
        "#!/bin/sh\n# -*- coding: utf-8 -*-\n# from yt_dlp import main\necho 2024.12.23\n");
    settings.searchDirs = {SiteTest::toolsDir()};
    EXPECT_EQ(Tools::installationOf(settings, path).kind, Tools::Installation::Kind::pip);
    EXPECT_EQ(Tools::update(settings),
              u"yt-dlp 2024.12.23 是用 pip 安装的，请在终端运行：python3 -m pip install -U yt-dlp");
}
