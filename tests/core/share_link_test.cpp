#include "core/share_link.h"

#include <gtest/gtest.h>

namespace {
std::string found(const char* text) {
    const auto link = Channels::shareLink(QString::fromUtf8(text));
    return link ? link->toStdString() : std::string("<none>");
}
}  // namespace

TEST(ShareLink, FindsAndNormalisesTheFirstLink) {
    EXPECT_EQ(found("看看这个 https://weixin.qq.com/sph/AbC_12-x，很好看"),
              "https://weixin.qq.com/sph/AbC_12-x");
    EXPECT_EQ(found("http://weixin.qq.com/sph/Ab"), "https://weixin.qq.com/sph/Ab");
    EXPECT_EQ(found("x https://weixin.qq.com/sph/One y https://weixin.qq.com/sph/Two"),
              "https://weixin.qq.com/sph/One");
    EXPECT_EQ(found("https://weixin.qq.com/sph/Ab/c?d=1#e"), "https://weixin.qq.com/sph/Ab");
    EXPECT_EQ(found("前缀https://weixin.qq.com/sph/Ab后缀"), "https://weixin.qq.com/sph/Ab");
}

TEST(ShareLink, IsCaseSensitiveAndNeedsAnIdentifier) {
    EXPECT_EQ(found("https://WEIXIN.QQ.COM/sph/Ab"), "<none>");
    EXPECT_EQ(found("https://weixin.qq.com/SPH/Ab"), "<none>");
    EXPECT_EQ(found("https://weixin.qq.com/sph/"), "<none>");
    EXPECT_EQ(found("https://weixin.qq.com/sph/，"), "<none>");
    EXPECT_EQ(found("https://weixinxqqxcom/sph/Ab"), "<none>");
    EXPECT_EQ(found("no link"), "<none>");
}
