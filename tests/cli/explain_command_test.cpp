#include "common/test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

TestSupport::ProcessResult explain(const QStringList& args, const QByteArray& input) {
    return TestSupport::run(TestSupport::cliPath(), QStringList{QStringLiteral("explain")} + args,
                            input);
}

QJsonObject explainJson(const QStringList& args, const QByteArray& input) {
    const TestSupport::ProcessResult result = explain(args + QStringList{"--json"}, input);
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out.count('\n'), 1);  // one line
    // The keys come in the documented order, for readers that do not parse JSON.
    EXPECT_TRUE(result.out.startsWith("{\"title\":")) << result.out.toStdString();
    EXPECT_LT(result.out.indexOf(",\"advice\":"), result.out.indexOf(",\"actions\":["));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(result.out, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << result.out.toStdString();
    return document.object();
}

QStringList actions(const QJsonObject& object) {
    QStringList list;
    for (const QJsonValue& value : object.value(u"actions").toArray()) list << value.toString();
    return list;
}

}  // namespace

TEST(ExplainCommand, PrintsTitleAdviceAndActionsOnePerLine) {
    const auto result =
        explain({"--platform", "youtube"}, "WARNING: x\nERROR: [youtube] abc: Video unavailable\n");
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_EQ(
        QString::fromUtf8(result.out),
        QStringLiteral("视频不存在或已被删除\n链接可能复制不完整，或者视频已被删除、设为私密。"
                       "请在浏览器里打开链接确认能正常播放。\nretry\nopenLink\n"));
}

TEST(ExplainCommand, JsonNamesTheBrowserInTheCookieRemedy) {
    const QByteArray bot = "ERROR: [youtube] x: Sign in to confirm you're not a bot";
    const QString chromeProfile = QDir::homePath() + QStringLiteral("/.config/google-chrome");
    // No browser profile: no browser remedy. With Chrome's, Chrome's.
    EXPECT_EQ(actions(explainJson({"--platform", "youtube"}, bot)), QStringList{"retry"});
    QDir().mkpath(chromeProfile);
    const QJsonObject withoutBrowser = explainJson({"--platform", "youtube"}, bot);
    EXPECT_EQ(withoutBrowser.value(u"title").toString(), u"YouTube 要求验证不是机器人");
    ASSERT_EQ(actions(withoutBrowser).size(), 1);
    EXPECT_TRUE(actions(withoutBrowser)[0].startsWith(u"useBrowserCookies:"));
    const QJsonObject withFirefox =
        explainJson({"--platform=youtube", "--browser", "firefox"}, bot);
    EXPECT_EQ(actions(withFirefox), QStringList{"retry"});
    EXPECT_TRUE(withFirefox.value(u"advice").toString().contains(u"在 Firefox 里登录 YouTube"));

    const QJsonObject fresh =
        explainJson({"--platform", "douyin", "--browser", "edge"}, "Fresh cookies needed");
    EXPECT_EQ(actions(fresh), QStringList{"useBrowserCookies:edge"});
    // A cookie store that cannot be read: the browser again, or going on without one.
    const QJsonObject unread = explainJson({"--platform", "youtube", "--browser", "chromium"},
                                           "ERROR: could not find chromium cookies database");
    EXPECT_EQ(actions(unread), (QStringList{"useBrowserCookies:chrome", "forgetBrowserCookies"}));
    QDir(chromeProfile).removeRecursively();
}

TEST(ExplainCommand, JsonOfTheDefaultAndSafariFailures) {
    const QJsonObject empty = explainJson({"--platform", "other"}, "");
    EXPECT_EQ(empty.value(u"title").toString(), u"下载失败");
    EXPECT_TRUE(empty.value(u"advice").toString().endsWith(u"\n详情：未知错误"));
    EXPECT_EQ(actions(empty), (QStringList{"updateTools", "retry", "openLogs"}));
    const QJsonObject safari = explainJson({"--platform", "bilibili", "--browser", "safari"},
                                           "PermissionError: Operation not permitted");
    EXPECT_EQ(actions(safari), (QStringList{"openFullDiskAccess", "retry"}));
    const QJsonObject ffmpeg = explainJson({"--platform", "vimeo"}, "ERROR: ffmpeg not found");
    EXPECT_EQ(actions(ffmpeg), (QStringList{"copyInstallCommand", "retry"}));
}

TEST(ExplainCommand, UnknownOrMissingPlatformIsAUsageError) {
    for (const QStringList& args :
         {QStringList{}, QStringList{"--platform", "YouTube"}, QStringList{"--platform"},
          QStringList{"--platform", "youtube", "--browser", "netscape"},
          QStringList{"--platform", "youtube", "--bogus"}}) {
        const auto result = explain(args, "ERROR: x");
        EXPECT_EQ(result.exitCode, 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(result.out.isEmpty());
        EXPECT_TRUE(result.err.contains("quorvin-cli explain: "));
    }
    EXPECT_TRUE(
        explain({"--platform", "YouTube"}, "").err.contains("unknown platform \"YouTube\""));
}

TEST(ExplainCommand, InvalidUtf8AndHugeInputsAreExplained) {
    const QJsonObject invalid =
        explainJson({"--platform", "other"}, QByteArray("ERROR: \xff\xfe\xc3 broken\n", 19));
    EXPECT_EQ(invalid.value(u"title").toString(), u"下载失败");
    EXPECT_TRUE(invalid.value(u"advice").toString().contains(QChar::ReplacementCharacter));

    // 40 MB of warnings, then the decisive line.
    QByteArray huge;
    const QByteArray warning = "WARNING: " + QByteArray(90, 'w') + '\n';
    huge.reserve(40 * 1024 * 1024 + 100);
    while (huge.size() < 40 * 1024 * 1024) huge += warning;
    huge += "ERROR: unable to download webpage: timed out\n";
    const QJsonObject big = explainJson({"--platform", "weibo"}, huge);
    EXPECT_EQ(big.value(u"title").toString(), u"网络连接失败");
    EXPECT_TRUE(
        big.value(u"advice").toString().endsWith(u"详情：unable to download webpage: timed out"));
}
