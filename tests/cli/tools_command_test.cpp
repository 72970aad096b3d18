#include "common/test_support.h"
#include "sites/tools.h"
#include "support/app_paths.h"

#include <gtest/gtest.h>

#include <QFile>

namespace {

TestSupport::ProcessResult tools(const QStringList& args) {
    return TestSupport::run(TestSupport::cliPath(), QStringList{QStringLiteral("tools")} + args);
}

// The program searches the real tool folders; the test's home folder is one of them.
class ToolsCommand : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* earlier : {"/opt/homebrew/bin/yt-dlp", "/usr/local/bin/yt-dlp",
                                    "/opt/homebrew/bin/ffmpeg", "/usr/local/bin/ffmpeg"}) {
            if (QFile::exists(QString::fromLatin1(earlier))) {
                GTEST_SKIP() << earlier << " would be found before the test's tools";
            }
        }
        m_bin = TestSupport::home() + QStringLiteral("/.local/bin");
        // A release file that answers --version and updates itself with -U.
        const QString ytdlp = TestSupport::writeFile(
            m_bin + QStringLiteral("/yt-dlp"),
            "#!/bin/sh\nd=$(dirname \"$0\")\n"
            "if [ \"$1\" = --version ]; then cat \"$d/version\"; exit 0; fi\n"
            "if [ \"$1\" = -U ]; then echo 'Updated yt-dlp to stable@2025.04.30'; "
            "echo 2025.04.30 > \"$d/version\"; exit 0; fi\nexit 2\n");
        QFile::setPermissions(ytdlp, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        TestSupport::writeFile(m_bin + QStringLiteral("/version"), "2025.01.01\n");
        const QString ffmpeg = TestSupport::writeFile(
            m_bin + QStringLiteral("/ffmpeg"),
            "#!/bin/sh\necho 'ffmpeg version 6.1.1-3 Copyright (c) 2000-2023 the FFmpeg "
            "developers'\n");
        QFile::setPermissions(ffmpeg, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QString m_bin;
};

}  // namespace

TEST_F(ToolsCommand, PrintsWhatThePanelWouldShowAndWhereTheToolsCameFrom) {
    const auto result = tools({});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    // Read in-process from the same os-release the program reads.
    const QString expected =
        QStringLiteral("status: yt-dlp 2025.01.01\n") + QStringLiteral("yt-dlp: ") + m_bin +
        QStringLiteral("/yt-dlp 2025.01.01\n") + QStringLiteral("ffmpeg: ") + m_bin +
        QStringLiteral("/ffmpeg 6.1.1-3\n") + QStringLiteral("installed-by: release file\n") +
        QStringLiteral("update-command: yt-dlp -U\n") + QStringLiteral("install-command: ") +
        Tools::installCommand(Tools::Settings{}) + u'\n';
    EXPECT_EQ(QString::fromUtf8(result.out), expected);
}

TEST_F(ToolsCommand, UpdateRunsAsThePanelDoesAndLogsTheOutcome) {
    const auto result = tools({QStringLiteral("--update")});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(result.out), u"已更新到 yt-dlp 2025.04.30（原来是 2025.01.01）\n");
    QFile log(AppPaths::appLog());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(log.readAll())
                    .contains(u"yt-dlp -U 完成：Updated yt-dlp to stable@2025.04.30"));
    EXPECT_EQ(QString::fromUtf8(tools({QStringLiteral("--update")}).out),
              u"yt-dlp 2025.04.30 已是最新\n");

    const auto wrong = tools({QStringLiteral("--bogus")});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_TRUE(wrong.err.contains("usage: quorvin-cli tools [--update]"));
}
