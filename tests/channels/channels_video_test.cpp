#include "channels/channels_video.h"
#include "support/graphemes.h"

#include <gtest/gtest.h>

namespace {

QString nameFor(const QString& title, const QString& author = QString(),
                std::optional<QDateTime> createdAt = std::nullopt) {
    ChannelsVideo video{title, author, QUrl(QStringLiteral("https://v.example/a.mp4")), createdAt,
                        std::nullopt};
    return video.suggestedFilename();
}

const QDateTime kMarch5 = QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9));

}  // namespace

TEST(SuggestedFilename, TakesTheFirstNonBlankLineMadeSafe) {
    EXPECT_EQ(nameFor(QStringLiteral("第一行\n第二行")), QStringLiteral("第一行.mp4"));
    EXPECT_EQ(nameFor(QStringLiteral("a/b: c")), QStringLiteral("a b c.mp4"));
    EXPECT_EQ(nameFor(QStringLiteral("  \n  标题  \n尾")), QStringLiteral("标题.mp4"));
    EXPECT_EQ(nameFor(QStringLiteral("\r\n\u2028x\u2029y")), QStringLiteral("x.mp4"));
    EXPECT_EQ(nameFor(QStringLiteral("a\tb\u3000c")), QStringLiteral("a b c.mp4"));
    EXPECT_EQ(nameFor(QStringLiteral("..hidden.")), QStringLiteral("hidden.mp4"));
    EXPECT_EQ(nameFor(QStringLiteral("x<y>z|w\"q*?")), QStringLiteral("x y z w q.mp4"));
}

// A right-to-left override would make "gnp.exe" read as a picture's name; C1 controls and DEL
// are invisible. None of them reaches the file name.
TEST(SuggestedFilename, DropsBidiControlsAndControlCharacters) {
    EXPECT_EQ(nameFor(QStringLiteral("photo\u202Egnp.exe")), QStringLiteral("photognp.exe.mp4"));
    EXPECT_EQ(nameFor(QStringLiteral("\u2066a\u2069\u200Eb\u200F\u202Ac\u202C\u2067d\u2068e")),
              QStringLiteral("abcde.mp4"));
    EXPECT_EQ(nameFor(QStringLiteral("x\u009B31my\u007Fz\u0080")), QStringLiteral("x 31my z.mp4"));
    EXPECT_EQ(nameFor(QStringLiteral("\u202E\u009B"), QStringLiteral("\u202E作者\u007F"), kMarch5),
              QStringLiteral("视频号_作者_20240305_140709.mp4"));
}

TEST(SuggestedFilename, CutsAtSixtyUserPerceivedCharacters) {
    const QString sixty = QStringLiteral("字").repeated(60);
    EXPECT_EQ(nameFor(sixty), sixty + QStringLiteral(".mp4"));
    EXPECT_EQ(nameFor(sixty + QStringLiteral("多")), sixty + QStringLiteral("….mp4"));
    // A space in 60th place is trimmed before the ellipsis.
    const QString spaced = QStringLiteral("a").repeated(59) + QStringLiteral(" bcd");
    EXPECT_EQ(nameFor(spaced), QStringLiteral("a").repeated(59) + QStringLiteral("….mp4"));
    // An emoji with a skin tone is one character.
    const QString thumbs = QStringLiteral("👍🏽").repeated(61);  // 8 bytes each
    const QString name = nameFor(thumbs);
    EXPECT_EQ(Graphemes::count(name.chopped(4)), 31);  // cut further by bytes, with the ellipsis
    EXPECT_TRUE(name.endsWith(QStringLiteral("….mp4")));
}

// File systems limit a name to 255 bytes, and the name must still fit with " (9999).mp4": the
// stem stays within 244 bytes, cut only between user-perceived characters.
TEST(SuggestedFilename, LimitsNamesInBytesWithRoomForTheCounter) {
    const QString family = QStringLiteral("👨‍👩‍👧");  // one character, 18 bytes
    const QString name = nameFor(family.repeated(60));
    const QString stem = name.chopped(4);
    EXPECT_LE(stem.toUtf8().size(), 244);
    EXPECT_EQ(stem, family.repeated(13) + QStringLiteral("…"));  // 13 * 18 + 3 = 237 bytes
    // Exactly 244 bytes stays whole; one byte more is cut.
    const QString fits = QStringLiteral("👍🏽").repeated(30) + QStringLiteral("aaaa");
    ASSERT_EQ(fits.toUtf8().size(), 244);
    EXPECT_EQ(nameFor(fits), fits + QStringLiteral(".mp4"));
    EXPECT_EQ(nameFor(fits + QStringLiteral("a")),
              QStringLiteral("👍🏽").repeated(30) + QStringLiteral("a….mp4"));
    // The author of the fallback is cut too, never into a half character.
    const QString author = QStringLiteral("作者").repeated(60);
    const QString fallback = nameFor(QString(), author, kMarch5);
    EXPECT_LE(fallback.chopped(4).toUtf8().size(), 244);
    EXPECT_TRUE(fallback.startsWith(QStringLiteral("视频号_作者作者")));
    EXPECT_TRUE(fallback.endsWith(QStringLiteral("_20240305_140709.mp4")));
    EXPECT_FALSE(fallback.contains(QChar::ReplacementCharacter));
}

TEST(SuggestedFilename, FallsBackToAuthorAndTime) {
    EXPECT_EQ(nameFor(QStringLiteral(" . . "), QStringLiteral("小明"), kMarch5),
              QStringLiteral("视频号_小明_20240305_140709.mp4"));
    EXPECT_EQ(nameFor(QString(), QString(), kMarch5), QStringLiteral("视频号_20240305_140709.mp4"));
    EXPECT_EQ(nameFor(QStringLiteral("/:*?."), QString(), kMarch5),
              QStringLiteral("视频号_20240305_140709.mp4"));
    const QString now = nameFor(QString());
    EXPECT_TRUE(now.startsWith(QStringLiteral("视频号_") +
                               QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))))
        << now.toStdString();
}

TEST(SuggestedFilename, AnAuthorNeverBringsAPathOrHiddenName) {
    const QString name = nameFor(QString(), QStringLiteral("../../etc/x"), kMarch5);
    EXPECT_FALSE(name.contains(QLatin1Char('/')));
    EXPECT_FALSE(name.contains(QStringLiteral("..")));
    EXPECT_EQ(name, QStringLiteral("视频号_etc x_20240305_140709.mp4"));
    EXPECT_EQ(nameFor(QString(), QStringLiteral("a\\b\nc"), kMarch5),
              QStringLiteral("视频号_a b c_20240305_140709.mp4"));
    EXPECT_EQ(nameFor(QString(), QStringLiteral("..."), kMarch5),
              QStringLiteral("视频号_20240305_140709.mp4"));
}
