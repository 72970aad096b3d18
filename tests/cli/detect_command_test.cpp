#include "common/test_support.h"

#include <gtest/gtest.h>

namespace {

TestSupport::ProcessResult detect(const QByteArray& input) {
    return TestSupport::run(TestSupport::cliPath(), {QStringLiteral("detect")}, input);
}

}  // namespace

TEST(CliDetect, PrintsLinkAndPlatformSeparatedByATab) {
    const auto result = detect(
        "6.17 jCu:/ 复制打开抖音，看看【兔丸儿的作品】速速换上溪哥专属壁纸 "
        "https://v.douyin.com/MuEswcb/");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "https://v.douyin.com/MuEswcb/\tdouyin\n");
    EXPECT_EQ(detect("https://example.org/v.mp4").out, "https://example.org/v.mp4\tother\n");
}

TEST(CliDetect, NoLinkGivesAnEmptyLine) {
    const auto result = detect("没有链接");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "\n");
    EXPECT_EQ(detect("").out, "\n");
}

TEST(CliDetect, InvalidUtf8AndHugeTextsGetAnAnswer) {
    QByteArray broken("\xff\xfe\xc3 https://b23.tv/TgEIXkw\xe4\xb8 \x80\x80");
    auto result = detect(broken);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "https://b23.tv/TgEIXkw\tbilibili\n");

    QByteArray huge;
    huge.reserve(8 << 20);
    while (huge.size() < (8 << 20)) huge.append("无链接文本，只有标点。 jCu:/ 6.17 ");
    huge.append("https://weixin.qq.com/sph/Tail");
    result = detect(huge);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "https://weixin.qq.com/sph/Tail\tchannels\n");
}

TEST(CliDetect, ArgumentsAreRefusedWithAMessage) {
    const auto result =
        TestSupport::run(TestSupport::cliPath(), {QStringLiteral("detect"), QStringLiteral("x")});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.err.contains("standard input"));
    const auto unknown = TestSupport::run(TestSupport::cliPath(), {QStringLiteral("nope")});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.contains("unknown command"));
}
