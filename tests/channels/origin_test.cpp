#include "channels/origin.h"
#include "channels/channels_fixture.h"
#include "channels/video_info.h"
#include "channels/yuanbao.h"

#include <gtest/gtest.h>

namespace {

const char kVariable[] = "QUORVIN_TEST_ORIGIN";
const QString kFallback = QStringLiteral("https://fallback.example");

QString overridden(const QByteArray& value) {
    qputenv(kVariable, value);
    return Origin::fromEnvironment(kVariable, kFallback);
}

}  // namespace

TEST(OriginOverride, APlainOriginIsTakenWithoutItsTrailingSlash) {
    EXPECT_EQ(overridden("http://127.0.0.1:8080/"), u"http://127.0.0.1:8080");
    EXPECT_EQ(overridden("  https://service.example  "), u"https://service.example");
    qunsetenv(kVariable);
    EXPECT_EQ(Origin::fromEnvironment(kVariable, kFallback), kFallback);
}

// Anything but a plain http(s) origin would send requests, and the login cookies they carry,
// somewhere unintended: every such value falls back to the real service.
TEST(OriginOverride, ABadValueIsRefused) {
    const QByteArray refused[] = {
        "http://127.0.0.1:8080/api",      // a path
        "http://127.0.0.1:8080/?a=1",     // a query
        "http://127.0.0.1:8080#top",      // a fragment
        "http://user:pw@127.0.0.1:8080",  // user information
        "ftp://127.0.0.1",                // another scheme
        "javascript:alert(1)",
        "127.0.0.1:8080",  // no scheme
        "localhost:8080",  // read as a scheme
        "https://",        // no host
        "http://bad host.example",
        "/",
    };
    for (const QByteArray& value : refused)
        EXPECT_EQ(overridden(value), kFallback) << value.constData();
}

// The two services' variables go through the same check: a refused override leaves the real
// hosts in place (read once per process, so each case sets one before the first use).
TEST(OriginOverride, TheYuanbaoVariableRefusesAPath) {
    qputenv("QUORVIN_YUANBAO_ORIGIN",
            (ChannelsTest::server().origin() + QStringLiteral("/elsewhere")).toUtf8());
    EXPECT_EQ(Yuanbao::origin(), u"https://yuanbao.tencent.com");
    EXPECT_EQ(Yuanbao::host(), u"yuanbao.tencent.com");
}

TEST(OriginOverride, TheChannelsVariableRefusesAnotherScheme) {
    qputenv("QUORVIN_CHANNELS_ORIGIN", "file:///etc");
    EXPECT_EQ(Channels::webOrigin(), u"https://channels.weixin.qq.com");
}
