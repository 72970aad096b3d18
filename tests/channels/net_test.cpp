#include "net/net.h"
#include "channels/channels_fixture.h"
#include "channels/yuanbao.h"
#include "support/settings.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>

namespace {

using ChannelsTest::outcomeOf;
using ChannelsTest::server;
using Reply = HttpTestServer::Reply;

class NetTest : public ::testing::Test {
protected:
    void SetUp() override {
        server().clearRequests();
        server().setHandler({});
    }

    static ChannelsTest::Outcome<Net::Response> get(const QString& path,
                                                    std::shared_ptr<CancelToken> cancel = nullptr) {
        return outcomeOf(Net::send(QNetworkRequest(server().url(path)), "GET", {}, u"视频号"_qs,
                                   std::move(cancel)));
    }
};

TEST_F(NetTest, AnyStatusIsReturnedWithItsBody) {
    server().setHandler([](const HttpTestServer::Request& request) {
        if (request.path() == "/fail") return Reply::text("server broke", 500);
        if (request.path() == "/bad") return Reply::text("bad input", 400);
        return Reply::text("fine");
    });
    const auto broken = get(u"/fail"_qs);
    ASSERT_TRUE(broken.value);
    EXPECT_EQ(broken.value->status, 500);
    EXPECT_EQ(broken.value->body, "server broke");
    EXPECT_EQ(get(u"/bad"_qs).value->status, 400);
    EXPECT_EQ(get(u"/bad"_qs).value->body, "bad input");
    EXPECT_EQ(get(u"/"_qs).value->status, 200);
}

TEST_F(NetTest, TheSharedSessionNeitherKeepsNorSendsCookies) {
    server().setHandler([](const HttpTestServer::Request&) {
        Reply reply = Reply::text("ok");
        reply.headers.append(
            qMakePair(QByteArray("Set-Cookie"), QByteArray("sid=remembered; Path=/")));
        return reply;
    });
    ASSERT_TRUE(get(u"/one"_qs).value);
    ASSERT_TRUE(get(u"/two"_qs).value);
    const auto requests = server().requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_FALSE(requests[1].header("Cookie"));
    EXPECT_TRUE(Net::session().cookieJar()->cookiesForUrl(server().url(u"/"_qs)).isEmpty());
}

TEST_F(NetTest, TransportFailuresThrowProblemsNamingTheService) {
    Reply dropped = Reply::text(QByteArray(1000, 'x'));
    dropped.dropAfter = 10;
    server().setHandler([dropped](const HttpTestServer::Request&) { return dropped; });
    EXPECT_EQ(get(u"/"_qs).problem, Problem::network(u"视频号：电脑没有联网"_qs));
}

TEST_F(NetTest, ACancelledTokenThrowsCancelled) {
    auto token = CancelToken::make();
    token->cancel();
    EXPECT_EQ(get(u"/"_qs, token).problem, Problem::cancelled());
    EXPECT_TRUE(server().requests().isEmpty());
}

TEST_F(NetTest, LoginCookiesNeverFollowARedirect) {
    ASSERT_TRUE(CookieJar::write({ChannelsTest::cookie("hy_token", "secret", Yuanbao::host())}));
    server().setHandler([](const HttpTestServer::Request& request) {
        if (request.path() == "/elsewhere") return Reply::json(R"({"code":0,"data":{}})");
        Reply moved = Reply::text("moved", 302);
        moved.headers.append(
            qMakePair(QByteArray("Location"), server().url(u"/elsewhere"_qs).toEncoded()));
        return moved;
    });
    const auto outcome = outcomeOf(Yuanbao::parse(u"https://weixin.qq.com/sph/x"_qs));
    EXPECT_EQ(outcome.problem, Problem::apiChanged(u"元宝返回 HTTP 302"_qs));
    const auto requests = server().requests();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].path(), "/api/weixin/get_parse_result");
}

}  // namespace
