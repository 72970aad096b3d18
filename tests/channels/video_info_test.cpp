#include "channels/video_info.h"
#include "channels/channels_fixture.h"
#include "net/net.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

using ChannelsTest::outcomeOf;
using ChannelsTest::server;
using Reply = HttpTestServer::Reply;

const char kFeedPath[] = "/finder-preview/api/feed/get_feed_info";

class VideoInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        server().clearRequests();
        server().setHandler({});
    }

    static void answer(const Reply& reply) {
        server().setHandler([reply](const HttpTestServer::Request& request) {
            if (request.path() != kFeedPath) return Reply::text("wrong path", 404);
            return reply;
        });
    }

    static ChannelsTest::Outcome<ChannelsVideo> fetch(const QString& token = u"tok"_qs,
                                                      const QString& exportId = u"exp"_qs) {
        return outcomeOf(Channels::videoInfo(token, exportId));
    }

    static Problem problemFor(const Reply& reply) {
        answer(reply);
        const auto outcome = fetch();
        EXPECT_TRUE(outcome.problem.has_value()) << "no problem thrown";
        return outcome.problem.value_or(Problem::cancelled());
    }

    static QJsonObject completeFeed() {
        return QJsonObject{
            {u"description"_qs, u"第一行\n第二行"_qs},
            {u"createtime"_qs, 1709618829},
            {u"coverUrl"_qs, u"https://cover.example/c.jpg"_qs},
            {u"authorInfo"_qs, QJsonObject{{u"nickname"_qs, u"小明"_qs}}},
            {u"h264VideoInfo"_qs,
             QJsonObject{{u"videoUrl"_qs, u"https://v.example/h264.mp4?x=1"_qs}}},
            {u"videoUrl"_qs, u"https://v.example/plain.mp4"_qs},
        };
    }

    static Reply replyWith(const QJsonObject& data, const QJsonObject& top = {}) {
        QJsonObject whole = top;
        whole.insert(u"data"_qs, data);
        return Reply::json(QJsonDocument(whole).toJson());
    }
};

TEST_F(VideoInfoTest, HappyPathSendsTheExactRequest) {
    answer(
        replyWith(QJsonObject{{u"feedInfo"_qs, completeFeed()}}, QJsonObject{{u"errCode"_qs, 0}}));
    const auto outcome = fetch(u"a+b/c=&d"_qs, u"export#1"_qs);
    ASSERT_TRUE(outcome.value);
    const ChannelsVideo& video = *outcome.value;
    EXPECT_EQ(video.title, u"第一行\n第二行");
    EXPECT_EQ(video.author, u"小明");
    EXPECT_EQ(video.videoURL, QUrl(u"https://v.example/h264.mp4?x=1"_qs));
    ASSERT_TRUE(video.createdAt);
    EXPECT_EQ(video.createdAt->toSecsSinceEpoch(), 1709618829);
    EXPECT_EQ(video.coverURL, QUrl(u"https://cover.example/c.jpg"_qs));

    const QList<HttpTestServer::Request> requests = server().requests();
    ASSERT_EQ(requests.size(), 1);
    const HttpTestServer::Request& request = requests[0];
    const QString origin = server().origin();
    const QString page = origin + u"/finder-preview/pages/feed"_qs;
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path(), kFeedPath);
    const auto query = request.queryItems();
    ASSERT_EQ(query.size(), 2);
    EXPECT_EQ(query[0].first, u"_rid");
    EXPECT_TRUE(QRegularExpression(u"^[0-9a-f]+-[0-9a-f]{8}$"_qs).match(query[0].second).hasMatch())
        << query[0].second.toStdString();
    EXPECT_EQ(query[1], (QPair<QString, QString>{u"_pageUrl"_qs, page}));

    EXPECT_EQ(request.header("Content-Type"), "application/json");
    EXPECT_EQ(request.header("Accept"), "application/json, text/plain, */*");
    EXPECT_EQ(request.header("Origin"), origin.toUtf8());
    EXPECT_EQ(request.header("User-Agent"), QByteArray(Net::kUserAgent));
    EXPECT_EQ(request.header("User-Agent")->size(), 117);
    EXPECT_FALSE(request.header("Cookie"));

    const QUrl referer(QString::fromUtf8(request.header("Referer").value_or("")));
    EXPECT_EQ(referer.toString(QUrl::RemoveQuery), page);
    HttpTestServer::Request asRequest;
    asRequest.target = "/?" + referer.query(QUrl::FullyEncoded).toUtf8();
    const QList<QPair<QString, QString>> expected{
        {u"entry_card_type"_qs, u"48"_qs},
        {u"comment_scene"_qs, u"39"_qs},
        {u"appid"_qs, u"0"_qs},
        {u"token"_qs, u"a+b/c=&d"_qs},
        {u"entry_scene"_qs, u"0"_qs},
        {u"eid"_qs, u"export#1"_qs},
    };
    EXPECT_EQ(asRequest.queryItems(), expected);

    EXPECT_FALSE(request.body.contains(' ')) << "compact JSON expected";
    EXPECT_EQ(QJsonDocument::fromJson(request.body).object(),
              (QJsonObject{{u"baseReq"_qs, QJsonObject{{u"generalToken"_qs, u"a+b/c=&d"_qs}}},
                           {u"exportId"_qs, u"export#1"_qs}}));
}

TEST_F(VideoInfoTest, RequestIdsDifferWithinOneSecond) {
    const QString first = Channels::requestId();
    const QString second = Channels::requestId();
    EXPECT_NE(first, second);
    EXPECT_EQ(first.section(u'-', 0, 0), QString::number(QDateTime::currentSecsSinceEpoch(), 16));
}

TEST_F(VideoInfoTest, StatusAndShapeProblems) {
    EXPECT_EQ(problemFor(Reply::json("{}", 500)), Problem::apiChanged(u"视频号返回 HTTP 500"_qs));
    EXPECT_EQ(problemFor(Reply::text("<html/>")), Problem::apiChanged(u"视频号返回的不是 JSON"_qs));
    EXPECT_EQ(problemFor(Reply::json(R"("text")")),
              Problem::apiChanged(u"视频号返回的不是 JSON"_qs));
    EXPECT_EQ(problemFor(Reply::json(R"({"errCode":300330,"errMsg":"invalid token"})")),
              Problem::apiChanged(u"视频号 errCode 300330：invalid token"_qs));
    EXPECT_EQ(problemFor(Reply::json(R"({"errCode":-1})")),
              Problem::apiChanged(u"视频号 errCode -1："_qs));
    EXPECT_EQ(problemFor(Reply::json(R"({"errCode":0})")),
              Problem::apiChanged(u"视频号没有返回 data"_qs));
    EXPECT_EQ(problemFor(Reply::json(R"({"data":"x"})")),
              Problem::apiChanged(u"视频号没有返回 data"_qs));
    EXPECT_EQ(problemFor(Reply::json(R"({"data":{}})")),
              Problem::apiChanged(u"视频号没有返回 feedInfo"_qs));
}

TEST_F(VideoInfoTest, TextErrCodeCountsAsSuccess) {
    answer(replyWith(QJsonObject{{u"feedInfo"_qs, completeFeed()}},
                     QJsonObject{{u"errCode"_qs, u"1"_qs}, {u"errMsg"_qs, u"ignored"_qs}}));
    EXPECT_TRUE(fetch().value);
}

TEST_F(VideoInfoTest, Notices) {
    const auto withNotice = [](const QJsonObject& notice) {
        return replyWith(QJsonObject{{u"errMsg"_qs, notice}, {u"feedInfo"_qs, completeFeed()}});
    };
    // A soft notice without text is decoration: the video comes back.
    answer(withNotice(
        QJsonObject{{u"type"_qs, 0}, {u"title"_qs, u""_qs}, {u"content"_qs, u"<br/>"_qs}}));
    EXPECT_TRUE(fetch().value);
    answer(withNotice(QJsonObject{}));
    EXPECT_TRUE(fetch().value);

    EXPECT_EQ(problemFor(withNotice(QJsonObject{{u"type"_qs, 1}})),
              Problem::unavailable(u"此内容暂时无法播放"_qs));
    EXPECT_EQ(problemFor(withNotice(
                  QJsonObject{{u"title"_qs, u"提示"_qs}, {u"content"_qs, u"<b>已删除</b>"_qs}})),
              Problem::unavailable(u"提示：已删除"_qs));
    // A soft type with text still speaks; non-text members are ignored; no extra trimming.
    EXPECT_EQ(problemFor(withNotice(QJsonObject{
                  {u"type"_qs, u"2"_qs}, {u"title"_qs, 5}, {u"content"_qs, u" 仅粉丝可见 "_qs}})),
              Problem::unavailable(u" 仅粉丝可见 "_qs));
}

TEST_F(VideoInfoTest, VideoAddressCandidates) {
    QJsonObject feed = completeFeed();
    feed.insert(u"h264VideoInfo"_qs, QJsonObject{{u"videoUrl"_qs, u""_qs}});
    answer(replyWith(QJsonObject{{u"feedInfo"_qs, feed}}));
    ASSERT_TRUE(fetch().value);
    EXPECT_EQ(fetch().value->videoURL, QUrl(u"https://v.example/plain.mp4"_qs));

    // The first non-empty candidate decides, even when it is malformed.
    feed.insert(u"h264VideoInfo"_qs, QJsonObject{{u"videoUrl"_qs, u"http://[broken"_qs}});
    EXPECT_EQ(problemFor(replyWith(QJsonObject{{u"feedInfo"_qs, feed}})),
              Problem::apiChanged(u"视频号没有返回视频地址"_qs));

    feed.remove(u"h264VideoInfo"_qs);
    feed.remove(u"videoUrl"_qs);
    EXPECT_EQ(problemFor(replyWith(QJsonObject{{u"feedInfo"_qs, feed}})),
              Problem::apiChanged(u"视频号没有返回视频地址"_qs));
    feed.insert(u"picInfo"_qs, QJsonArray{QJsonObject{{u"url"_qs, u"https://p/1.jpg"_qs}}});
    EXPECT_EQ(problemFor(replyWith(QJsonObject{{u"feedInfo"_qs, feed}})), Problem::notVideo());
    feed.insert(u"picInfo"_qs, QJsonArray{});
    EXPECT_EQ(problemFor(replyWith(QJsonObject{{u"feedInfo"_qs, feed}})),
              Problem::apiChanged(u"视频号没有返回视频地址"_qs));
}

TEST_F(VideoInfoTest, OptionalFieldsNeverFail) {
    const QJsonObject feed{
        {u"videoUrl"_qs, u"https://v.example/plain.mp4"_qs},
        {u"createtime"_qs, u"1709618829"_qs},
        {u"coverUrl"_qs, u"not a url at all ::"_qs},
        {u"authorInfo"_qs, u"小明"_qs},
        {u"description"_qs, 7},
    };
    answer(replyWith(QJsonObject{{u"feedInfo"_qs, feed}}));
    const auto outcome = fetch();
    ASSERT_TRUE(outcome.value);
    EXPECT_FALSE(outcome.value->createdAt);
    EXPECT_FALSE(outcome.value->coverURL);
    EXPECT_TRUE(outcome.value->author.isEmpty());
    EXPECT_TRUE(outcome.value->title.isEmpty());
    EXPECT_EQ(outcome.value->videoURL, QUrl(u"https://v.example/plain.mp4"_qs));
}

TEST_F(VideoInfoTest, FloatingCreationTime) {
    QJsonObject feed = completeFeed();
    feed.insert(u"createtime"_qs, 1709618829.5);
    answer(replyWith(QJsonObject{{u"feedInfo"_qs, feed}}));
    const auto outcome = fetch();
    ASSERT_TRUE(outcome.value && outcome.value->createdAt);
    EXPECT_EQ(outcome.value->createdAt->toMSecsSinceEpoch(), 1709618829500);
}

// The reply decides what gets fetched: only a web address may come out of it.
TEST_F(VideoInfoTest, AVideoAddressOtherThanHttpOrHttpsIsRefused) {
    for (const QString& address :
         {u"file:///etc/passwd"_qs, u"ftp://v.example/a.mp4"_qs, u"data:video/mp4;base64,AAAA"_qs,
          u"FILE:///home/x/.ssh/id_rsa"_qs, u"gopher://v.example/1"_qs, u"http:///nohost"_qs}) {
        QJsonObject feed = completeFeed();
        feed.insert(u"h264VideoInfo"_qs, QJsonObject{{u"videoUrl"_qs, address}});
        const Problem problem = problemFor(replyWith(QJsonObject{{u"feedInfo"_qs, feed}}));
        EXPECT_EQ(problem.kind(), Problem::Kind::apiChanged) << address.toStdString();
        EXPECT_TRUE(problem.detail().startsWith(u"视频号返回的视频地址不是网址"))
            << problem.detail().toStdString();
    }
    QJsonObject feed = completeFeed();
    feed.insert(u"h264VideoInfo"_qs, QJsonObject{{u"videoUrl"_qs, u"HTTPS://v.example/a.mp4"_qs}});
    answer(replyWith(QJsonObject{{u"feedInfo"_qs, feed}}));
    EXPECT_TRUE(fetch().value);
}

// Values no clock can show are absent, so the file name falls back to the current time instead
// of an overflowed number.
TEST_F(VideoInfoTest, ACreationTimeOutOfRangeIsAbsent) {
    for (const double created : {1e300, -1e300, 9.3e18, 1e15, -5.0, 253402300800.0}) {
        QJsonObject feed = completeFeed();
        feed.insert(u"createtime"_qs, created);
        feed.insert(u"description"_qs, u""_qs);
        answer(replyWith(QJsonObject{{u"feedInfo"_qs, feed}}));
        const auto outcome = fetch();
        ASSERT_TRUE(outcome.value);
        EXPECT_FALSE(outcome.value->createdAt) << created;
        EXPECT_TRUE(outcome.value->suggestedFilename().startsWith(
            u"视频号_小明_"_qs + QDate::currentDate().toString(u"yyyyMMdd"_qs)))
            << outcome.value->suggestedFilename().toStdString();
    }
    QJsonObject feed = completeFeed();
    feed.insert(u"createtime"_qs, 253402300799.0);  // the last second of the year 9999
    answer(replyWith(QJsonObject{{u"feedInfo"_qs, feed}}));
    ASSERT_TRUE(fetch().value && fetch().value->createdAt);
    EXPECT_EQ(fetch().value->createdAt->date().year(), 9999);
}

TEST_F(VideoInfoTest, TransportProblemNamesTheService) {
    Reply dropped = Reply::json(QByteArray(100, ' '));
    dropped.dropAfter = 10;
    EXPECT_EQ(problemFor(dropped), Problem::network(u"视频号：电脑没有联网"_qs));
}

}  // namespace
