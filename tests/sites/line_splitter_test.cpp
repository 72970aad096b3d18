#include "sites/line_splitter.h"
#include "sites/site_test_support.h"

#include <gtest/gtest.h>

TEST(LineSplitter, KeepsAnUnfinishedLineUntilItsNewlineArrives) {
    LineSplitter splitter;
    EXPECT_TRUE(splitter.feed("[generic] Extr").isEmpty());
    EXPECT_EQ(splitter.feed("acting URL\n@@TI"), QStringList{"[generic] Extracting URL"});
    EXPECT_EQ(splitter.feed("TLE x\n"), QStringList{"@@TITLE x"});
}

TEST(LineSplitter, JoinsAUtf8CharacterCutBetweenChunks) {
    const QByteArray line = QStringLiteral("@@TITLE 视频标题\n").toUtf8();
    // Every cut point, including each inside a three-byte character.
    for (qsizetype cut = 1; cut < line.size(); ++cut) {
        LineSplitter splitter;
        QStringList lines = splitter.feed(line.left(cut));
        lines += splitter.feed(line.mid(cut));
        EXPECT_EQ(lines, QStringList{QStringLiteral("@@TITLE 视频标题")}) << "cut at " << cut;
    }
}

TEST(LineSplitter, DropsBlankLinesAndCarriageReturns) {
    LineSplitter splitter;
    EXPECT_EQ(splitter.feed("a\r\n\r\n   \n\t\nb  \r\n\n"), (QStringList{"a", "b"}));
}

TEST(LineSplitter, FlushesALastLineWithoutNewline) {
    LineSplitter splitter;
    EXPECT_EQ(splitter.feed("first\nsecond"), QStringList{"first"});
    EXPECT_EQ(splitter.finish(), QStringList{"second"});
    EXPECT_TRUE(splitter.finish().isEmpty());
}

TEST(LineSplitter, ReplacesInvalidUtf8) {
    LineSplitter splitter;
    const QStringList lines = splitter.feed(QByteArray("ok \xff\xfe end\n", 11));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(u"ok "));
    EXPECT_TRUE(lines[0].endsWith(u" end"));
    EXPECT_TRUE(lines[0].contains(QChar::ReplacementCharacter));
}
