#include "core/link_handoff.h"

#include <gtest/gtest.h>

namespace {

QString refusalOf(const QByteArray& text) {
    const auto result = LinkHandoff::links(text);
    return std::holds_alternative<QString>(result) ? std::get<QString>(result) : QString();
}

}  // namespace

TEST(LinkHandoff, TakesTheWebLinksOfAShareTextWholeOrNotAtAll) {
    const auto taken = LinkHandoff::links(
        "【视频】看看 https://b23.tv/TgEIXkw。还有 www.youtube.com/watch?v=x "
        "https://b23.tv/TgEIXkw");
    ASSERT_TRUE(std::holds_alternative<QList<QUrl>>(taken));
    EXPECT_EQ(std::get<QList<QUrl>>(taken),
              (QList<QUrl>{QUrl(QStringLiteral("https://b23.tv/TgEIXkw")),
                           QUrl(QStringLiteral("http://www.youtube.com/watch?v=x"))}));

    // Each refusal is one line that says why, and nothing of the message is taken.
    EXPECT_EQ(refusalOf("no links here"), u"没有找到网页链接（只接受 http 或 https 链接）");
    EXPECT_TRUE(refusalOf("https://a.example/1 ftp://a.example/x").startsWith(u"只接受 http"));
    QByteArray many;
    for (int i = 0; i <= LinkHandoff::kMaxLinks; ++i)
        many += "https://a.example/" + QByteArray::number(i) + ' ';
    EXPECT_EQ(refusalOf(many), u"链接太多：一次最多 100 个");
    EXPECT_EQ(refusalOf(QByteArray(LinkHandoff::kMaxBytes + 1, 'a')), u"内容太长：一次最多 64 KiB");
}

TEST(LinkHandoff, TheSocketMessageRoundTripsAndRefusesOversizedOrBrokenPayloads) {
    const QByteArray text = "分享 https://v.douyin.com/abc/ 复制此链接\n第二行";
    const QByteArray message = LinkHandoff::encode(text);
    ASSERT_TRUE(message.startsWith("open "));
    const auto decoded = LinkHandoff::decode(message.mid(5));
    ASSERT_TRUE(std::holds_alternative<QByteArray>(decoded));
    EXPECT_EQ(std::get<QByteArray>(decoded), text);
    EXPECT_TRUE(std::holds_alternative<QString>(LinkHandoff::decode("!!not base64!!")));
    const QByteArray huge = QByteArray(LinkHandoff::kMaxBytes + 3, 'x').toBase64();
    EXPECT_EQ(std::get<QString>(LinkHandoff::decode(huge)), u"内容太长：一次最多 64 KiB");
}
