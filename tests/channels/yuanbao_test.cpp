#include "channels/yuanbao.h"
#include "channels/channels_fixture.h"
#include "net/net.h"
#include "support/app_paths.h"
#include "support/safe_text.h"
#include "support/settings.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

namespace {

using ChannelsTest::cookie;
using ChannelsTest::outcomeOf;
using ChannelsTest::server;
using Reply = HttpTestServer::Reply;

const QString kShare = u"https://weixin.qq.com/sph/AbC_12-x"_qs;

QDateTime later() {
    return QDateTime::currentDateTimeUtc().addDays(60);
}
QDateTime earlier() {
    return QDateTime::currentDateTimeUtc().addSecs(-60);
}

class YuanbaoTest : public ::testing::Test {
protected:
    void SetUp() override {
        server().clearRequests();
        server().setHandler({});
        QFile::remove(CookieJar::path());
        Settings::remove(u"yuanbaoEverLoggedIn"_qs);
    }

    static void loginWith(const QByteArray& token) {
        ASSERT_TRUE(CookieJar::write({cookie("hy_token", token, Yuanbao::host(), later())}));
    }

    // Answers the parse endpoint with `reply`; any other path is a test failure (404).
    static void answer(const Reply& reply) {
        server().setHandler([reply](const HttpTestServer::Request& request) {
            if (request.path() != "/api/weixin/get_parse_result")
                return Reply::text("wrong path", 404);
            return reply;
        });
    }

    static ChannelsTest::Outcome<Yuanbao::ParseResult> parse() {
        return outcomeOf(Yuanbao::parse(kShare));
    }

    static Problem problemFor(const Reply& reply) {
        answer(reply);
        const auto outcome = parse();
        EXPECT_TRUE(outcome.problem.has_value()) << "no problem thrown";
        return outcome.problem.value_or(Problem::cancelled());
    }

    static QByteArray dataWith(const QString& playable, const QString& exportId = u"export-1"_qs) {
        return QJsonDocument(QJsonObject{{u"code"_qs, 0},
                                         {u"msg"_qs, u"ok"_qs},
                                         {u"data"_qs, QJsonObject{{u"wx_export_id"_qs, exportId},
                                                                  {u"playable_url"_qs, playable}}}})
            .toJson();
    }
};

TEST(YuanbaoCookies, MatchTheHostAndItsParentsOnly) {
    const QString host = u"yuanbao.tencent.com"_qs;
    EXPECT_TRUE(Yuanbao::appliesTo(cookie("a", "1", u".tencent.com"_qs), host));
    EXPECT_TRUE(Yuanbao::appliesTo(cookie("a", "1", u"tencent.com"_qs), host));
    EXPECT_TRUE(Yuanbao::appliesTo(cookie("a", "1", u"yuanbao.tencent.com"_qs), host));
    EXPECT_TRUE(Yuanbao::appliesTo(cookie("a", "1", u".yuanbao.tencent.com"_qs), host));
    EXPECT_FALSE(Yuanbao::appliesTo(cookie("a", "1", u"nottencent.com"_qs), host));
    EXPECT_FALSE(Yuanbao::appliesTo(cookie("a", "1", u".qq.com"_qs), host));
    EXPECT_FALSE(Yuanbao::appliesTo(cookie("a", "1", u"other.tencent.com"_qs), host));
    EXPECT_FALSE(Yuanbao::appliesTo(cookie("a", "1", u"m.yuanbao.tencent.com"_qs), host));
    EXPECT_FALSE(Yuanbao::appliesTo(cookie("a", "1", QString()), host));
}

TEST_F(YuanbaoTest, OriginComesFromTheOverride) {
    EXPECT_EQ(Yuanbao::origin(), server().origin());
    EXPECT_EQ(Yuanbao::host(), u"127.0.0.1");
    EXPECT_EQ(Yuanbao::home().toString(), server().origin() + u'/');
}

TEST_F(YuanbaoTest, CookiesDropOtherSitesAndExpiredOnes) {
    ASSERT_TRUE(CookieJar::write({
        cookie("first", "1", Yuanbao::host()),
        cookie("stale", "2", Yuanbao::host(), earlier()),
        cookie("foreign", "3", u".example.com"_qs),
        cookie("last", "4", QStringLiteral(".") + Yuanbao::host(), later()),
    }));
    QStringList names;
    for (const QNetworkCookie& kept : Yuanbao::cookies())
        names.append(QString::fromUtf8(kept.name()));
    EXPECT_EQ(names, (QStringList{u"first"_qs, u"last"_qs}));
}

TEST_F(YuanbaoTest, LoginStateFollowsTheTokenCookie) {
    EXPECT_EQ(Yuanbao::loginState(), Yuanbao::LoginState::loggedOut(false));

    const QDateTime until =
        QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() + 3600, Qt::UTC);
    ASSERT_TRUE(CookieJar::write({cookie("hy_token", "", Yuanbao::host()),
                                  cookie("hy_token", "t", Yuanbao::host(), until)}));
    const Yuanbao::LoginState state = Yuanbao::loginState();
    ASSERT_TRUE(state.isLoggedIn());
    EXPECT_EQ(state.until, until);
    EXPECT_TRUE(Settings::boolValue(u"yuanbaoEverLoggedIn"_qs));

    // The same cookie, expired: logged out, and the login is known to have existed.
    ASSERT_TRUE(CookieJar::write({cookie("hy_token", "t", Yuanbao::host(), earlier())}));
    EXPECT_EQ(Yuanbao::loginState(), Yuanbao::LoginState::loggedOut(true));
    const auto outcome = parse();
    EXPECT_EQ(outcome.problem, Problem::needLogin(true));
    EXPECT_TRUE(server().requests().isEmpty());
}

TEST_F(YuanbaoTest, SessionTokenHasNoExpiry) {
    ASSERT_TRUE(CookieJar::write({cookie("hy_token", "t", Yuanbao::host())}));
    EXPECT_EQ(Yuanbao::loginState(), Yuanbao::LoginState::loggedIn(std::nullopt));
}

TEST_F(YuanbaoTest, NoCookieMeansNeverLoggedIn) {
    const auto outcome = parse();
    EXPECT_EQ(outcome.problem, Problem::needLogin(false));
    EXPECT_TRUE(server().requests().isEmpty());
}

TEST_F(YuanbaoTest, LogoutRemovesTheParentDomainOnly) {
    ASSERT_TRUE(CookieJar::write(
        {cookie("hy_token", "t", Yuanbao::host()), cookie("other", "o", u".example.com"_qs)}));
    Settings::setValue(u"yuanbaoEverLoggedIn"_qs, true);
    Yuanbao::logout();
    const QList<QNetworkCookie> left = CookieJar::read();
    ASSERT_EQ(left.size(), 1);
    EXPECT_EQ(left[0].name(), "other");
    EXPECT_FALSE(Settings::boolValue(u"yuanbaoEverLoggedIn"_qs));
    QFile log(AppPaths::appLog());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(text.contains(u"已退出元宝登录"_qs));
    EXPECT_FALSE(text.contains(u"hy_token"_qs));
    EXPECT_EQ(Yuanbao::loginState(), Yuanbao::LoginState::loggedOut(false));
}

TEST_F(YuanbaoTest, HappyPathSendsTheExactRequest) {
    ASSERT_TRUE(CookieJar::write({
        cookie("hy_token", "tok-1", Yuanbao::host(), later()),
        cookie("foreign", "must-not-leak", u".example.com"_qs),
        cookie("hy_user", "u1", QStringLiteral(".") + Yuanbao::host()),
    }));
    answer(Reply::json(dataWith(u"https://finder.video.qq.com/x?a=1&token=ABC&eid=E-2"_qs)));

    const auto outcome = parse();
    ASSERT_TRUE(outcome.value) << (outcome.problem ? outcome.problem->title().toStdString() : "");
    EXPECT_EQ(outcome.value->token, u"ABC");
    EXPECT_EQ(outcome.value->exportId, u"E-2");

    const QList<HttpTestServer::Request> requests = server().requests();
    ASSERT_EQ(requests.size(), 1);
    const HttpTestServer::Request& request = requests[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/api/weixin/get_parse_result");
    EXPECT_EQ(request.header("Cookie"), "hy_token=tok-1; hy_user=u1");
    EXPECT_EQ(request.headerCount("Cookie"), 1);
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    EXPECT_EQ(request.header("Accept"), "application/json, text/plain, */*");
    EXPECT_EQ(request.header("Origin"), server().origin().toUtf8());
    EXPECT_EQ(request.header("Referer"), (server().origin() + u'/').toUtf8());
    EXPECT_EQ(request.header("User-Agent"),
              "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like "
              "Gecko) Version/26.0 Safari/605.1.15");
    EXPECT_FALSE(request.body.contains(' ')) << "compact JSON expected";
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    EXPECT_EQ(body,
              (QJsonObject{
                  {u"type"_qs, u"video_channel_url"_qs}, {u"url"_qs, kShare}, {u"scene"_qs, 1}}));
    EXPECT_TRUE(body.value(u"scene"_qs).isDouble());
}

TEST_F(YuanbaoTest, EmptyTokenCookieIsLoggedOutButStillSent) {
    ASSERT_TRUE(CookieJar::write({cookie("hy_token", "", Yuanbao::host())}));
    EXPECT_FALSE(Yuanbao::loginState().isLoggedIn());
    answer(Reply::json(dataWith(u"https://v.example/p?token=T"_qs)));
    const auto outcome = parse();
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(server().requests().value(0).header("Cookie"), "hy_token=");
}

TEST_F(YuanbaoTest, ExportIdFallsBackWhenEidIsEmptyOrMissing) {
    loginWith("t");
    answer(Reply::json(dataWith(u"https://v.example/p?token=T&eid="_qs, u"wx-9"_qs)));
    EXPECT_EQ(parse().value, (Yuanbao::ParseResult{u"T"_qs, u"wx-9"_qs}));
    answer(Reply::json(dataWith(u"https://v.example/p?token=T"_qs, u"wx-9"_qs)));
    EXPECT_EQ(parse().value, (Yuanbao::ParseResult{u"T"_qs, u"wx-9"_qs}));
    // The first "eid" wins, even when it differs from "wx_export_id".
    answer(Reply::json(dataWith(u"https://v.example/p?eid=e1&token=T&eid=e2"_qs, u"wx-9"_qs)));
    EXPECT_EQ(parse().value, (Yuanbao::ParseResult{u"T"_qs, u"e1"_qs}));
}

TEST_F(YuanbaoTest, PercentEncodedTokenComesBackDecoded) {
    loginWith("t");
    answer(Reply::json(dataWith(u"https://v.example/p?token=a%2Bb%2F%3D%26c%20d&eid=x"_qs)));
    EXPECT_EQ(parse().value, (Yuanbao::ParseResult{u"a+b/=&c d"_qs, u"x"_qs}));
}

TEST_F(YuanbaoTest, PlayableUrlWithoutUsableToken) {
    loginWith("t");
    const Problem noToken = Problem::apiChanged(u"元宝没有返回播放凭证"_qs);
    EXPECT_EQ(problemFor(Reply::json(dataWith(u"https://v.example/p?eid=x"_qs))), noToken);
    EXPECT_EQ(problemFor(Reply::json(dataWith(u"https://v.example/p?token=&eid=x"_qs))), noToken);
    EXPECT_EQ(problemFor(Reply::json(dataWith(u"https://v.example/p"_qs))), noToken);
    EXPECT_EQ(problemFor(Reply::json(dataWith(u"http://[bad"_qs))), noToken);
    EXPECT_EQ(problemFor(Reply::json(R"({"code":0,"data":{"wx_export_id":"w","playable_url":5}})")),
              noToken);
    EXPECT_EQ(problemFor(Reply::json(R"({"code":0,"data":{"wx_export_id":"w"}})")), noToken);
}

TEST_F(YuanbaoTest, StatusesDecideFirst) {
    loginWith("t");
    EXPECT_EQ(problemFor(Reply::json("{}", 401)), Problem::needLogin(true));
    EXPECT_EQ(problemFor(Reply::json("{}", 403)), Problem::needLogin(true));
    EXPECT_EQ(problemFor(Reply::json(dataWith(u"https://v/p?token=T"_qs), 500)),
              Problem::apiChanged(u"元宝返回 HTTP 500"_qs));
    EXPECT_EQ(problemFor(Reply::text("moved", 302)), Problem::apiChanged(u"元宝返回 HTTP 302"_qs));
}

TEST_F(YuanbaoTest, UnreadableReplies) {
    loginWith("t");
    const Problem notJson = Problem::apiChanged(u"元宝返回的不是 JSON"_qs);
    EXPECT_EQ(problemFor(Reply::text("<html>login</html>")), notJson);
    EXPECT_EQ(problemFor(Reply::json("[1,2]")), notJson);
    EXPECT_EQ(problemFor(Reply::json(R"({"msg":"缺少参数"})")),
              Problem::apiChanged(u"元宝返回 code -1：缺少参数"_qs));
    EXPECT_EQ(problemFor(Reply::json(R"({"code":"0","msg":"x"})")),
              Problem::apiChanged(u"元宝返回 code -1：x"_qs));
    EXPECT_EQ(problemFor(Reply::json(R"({"code":1001,"msg":7})")),
              Problem::apiChanged(u"元宝返回 code 1001："_qs));
    EXPECT_EQ(problemFor(Reply::json(R"({"code":0,"msg":"ok"})")),
              Problem::apiChanged(u"元宝返回 code 0：ok"_qs));
    EXPECT_EQ(problemFor(Reply::json(R"({"code":0,"msg":"ok","data":[]})")),
              Problem::apiChanged(u"元宝返回 code 0：ok"_qs));
}

TEST_F(YuanbaoTest, MissingExportIdIsNotFound) {
    loginWith("t");
    EXPECT_EQ(problemFor(Reply::json(R"({"code":0,"data":{}})")), Problem::notFound());
    EXPECT_EQ(problemFor(Reply::json(
                  R"({"code":0,"data":{"wx_export_id":"","playable_url":"https://v/p?token=T"}})")),
              Problem::notFound());
    EXPECT_EQ(problemFor(Reply::json(
                  R"({"code":0,"data":{"wx_export_id":12,"playable_url":"https://v/p?token=T"}})")),
              Problem::notFound());
}

TEST_F(YuanbaoTest, ConnectionDroppedIsANetworkProblemOfTheService) {
    loginWith("t");
    Reply dropped = Reply::json(QByteArray(64, ' '));
    dropped.dropAfter = 4;
    EXPECT_EQ(problemFor(dropped), Problem::network(u"腾讯元宝：电脑没有联网"_qs));
}

TEST_F(YuanbaoTest, CancelStopsAPendingRequest) {
    loginWith("t");
    Reply stalled = Reply::json(dataWith(u"https://v/p?token=T"_qs));
    stalled.stallAfter = 0;
    answer(stalled);
    auto token = CancelToken::make();
    QTimer::singleShot(200, [token] { token->cancel(); });
    QElapsedTimer clock;
    clock.start();
    const auto outcome = outcomeOf(Yuanbao::parse(kShare, token));
    EXPECT_EQ(outcome.problem, Problem::cancelled());
    EXPECT_LT(clock.elapsed(), 5000);
}

// This process's resident memory: "VmRSS" now, "VmHWM" at its peak since resetPeakMemory().
qint64 memoryKiB(const QByteArray& field) {
    QFile status(u"/proc/self/status"_qs);
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ')[0].toLongLong();
    }
    return -1;
}

void resetPeakMemory() {
    QFile clear(u"/proc/self/clear_refs"_qs);
    ASSERT_TRUE(clear.open(QIODevice::WriteOnly));
    clear.write("5");
}

// A reply that never ends is stopped as it streams in, quickly and within a few MiB; one that
// announces too much is stopped at its headers; a long message within the bound is cut short.
TEST_F(YuanbaoTest, OversizedRepliesAreStoppedAndLongMessagesCut) {
    loginWith("t");
    // One TiB, sparse: the server streams it for as long as the client reads.
    QFile endless(TestSupport::home() + u"/endless.json"_qs);
    ASSERT_TRUE(endless.open(QIODevice::WriteOnly));
    endless.write(R"({"code":1,"msg":")");
    ASSERT_TRUE(endless.resize(qint64(1) << 40));
    endless.close();
    Reply stream;
    stream.headers = {{"Content-Type", "application/json"}};
    stream.file = endless.fileName();
    const Problem tooLarge = Problem::apiChanged(u"腾讯元宝返回的内容超过 4.0 MB，已停止接收"_qs);
    for (const bool announced : {false, true}) {
        stream.sendLength = announced;
        answer(stream);
        resetPeakMemory();
        const qint64 before = memoryKiB("VmRSS");
        QElapsedTimer clock;
        clock.start();
        const auto outcome = outcomeOf(Yuanbao::parse(kShare), std::chrono::seconds(15));
        EXPECT_EQ(outcome.problem, tooLarge) << "with Content-Length: " << announced;
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_LT(memoryKiB("VmHWM") - before, 48 * 1024);
    }

    answer(Reply::json(R"({"code":1,"msg":"第一行\n)" + QByteArray(3 << 20, 'x') + R"("})"));
    const QString shown = QStringLiteral("元宝返回 code 1：第一行 ") +
                          QString(SafeText::kExcerptCharacters - 4, u'x') + QChar(0x2026);
    EXPECT_EQ(parse().problem, Problem::apiChanged(shown));
}

TEST_F(YuanbaoTest, NoTokenOrCookieValueReachesTheLog) {
    ASSERT_TRUE(CookieJar::write({cookie("hy_token", "SECRET-TOKEN-VALUE", Yuanbao::host())}));
    answer(Reply::json(dataWith(u"https://v/p?token=SECRET-PLAY-TOKEN"_qs)));
    ASSERT_TRUE(parse().value);
    Yuanbao::loginState();
    Yuanbao::logout();
    QFile log(AppPaths::appLog());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    EXPECT_FALSE(text.contains("SECRET")) << text.constData();
}

}  // namespace
