#include "sites/output_reader.h"
#include "core/download_item.h"
#include "sites/site_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Reading {
    DownloadItem item{QUrl(QStringLiteral("https://www.youtube.com/watch?v=x")), Platform::youtube};
    StallMonitor monitor;
    OutputReader reader{&item, monitor};
    QList<Phase> phases;

    // `heardLast`: when the monitor last heard from the tool (by default now).
    explicit Reading(StallMonitor::Clock::time_point heardLast = StallMonitor::Clock::now())
        : monitor(Platform::youtube, heardLast) {
        QObject::connect(&item, &DownloadItem::phaseChanged,
                         [this] { phases.append(item.phase()); });
    }
};

}  // namespace

TEST(OutputReader, TitleStartsTheDownloadPhase) {
    Reading r;
    r.reader.handle(QStringLiteral("@@TITLE 一段 | 视频"));
    EXPECT_EQ(r.item.title(), u"一段 | 视频");
    EXPECT_TRUE(r.monitor.gotTitle());
    EXPECT_EQ(r.item.phase(), Phase::makeDownloading(std::nullopt, QStringLiteral("开始下载…")));
}

TEST(OutputReader, ThumbnailGetsTheSecureSchemeAndNaIsIgnored) {
    Reading r;
    r.reader.handle(QStringLiteral("@@THUMB NA"));
    EXPECT_EQ(r.item.thumbnail(), std::nullopt);
    r.reader.handle(QStringLiteral("@@THUMB http://i.ytimg.com/vi/x/hq.jpg"));
    EXPECT_EQ(r.item.thumbnail(), QUrl(QStringLiteral("https://i.ytimg.com/vi/x/hq.jpg")));
}

TEST(OutputReader, EstimateStandsInForAMissingTotal) {
    Reading r;
    r.reader.handle(QStringLiteral("@@PROG 1048576|NA|4194304.0|NA|avc1.64001f"));
    ASSERT_EQ(r.item.phase().kind(), Phase::downloading);
    ASSERT_TRUE(r.item.phase().fraction());
    EXPECT_DOUBLE_EQ(*r.item.phase().fraction(), 0.25);
    EXPECT_EQ(r.item.phase().text(), u"25% · 1.0 MB / 4.0 MB");  // no speed, no label
}

TEST(OutputReader, SoundStreamWithoutTotalHasNoFraction) {
    Reading r;
    r.reader.handle(QStringLiteral("@@PROG 2097152|NA|NA|1048576|none"));
    ASSERT_EQ(r.item.phase().kind(), Phase::downloading);
    EXPECT_EQ(r.item.phase().fraction(), std::nullopt);
    EXPECT_EQ(r.item.phase().text(), u"声音 · 2.0 MB · 1.0 MB/s");
}

TEST(OutputReader, ACompleteStreamTurnsToTheMergingPhase) {
    Reading r;
    r.reader.handle(QStringLiteral("@@PROG 5000|5000|NA|100|avc1"));
    ASSERT_EQ(r.phases.size(), 2);
    EXPECT_EQ(r.phases[0].kind(), Phase::downloading);
    EXPECT_EQ(r.phases[0].fraction(), 1.0);
    EXPECT_EQ(r.phases[1], Phase::makeWorking(QStringLiteral("正在处理（合并画面和声音）…")));
}

TEST(OutputReader, FourFieldsChangeNothingButTheLastHeardTime) {
    // Silent for a minute: only a refreshed last-heard time brings that down.
    Reading r(StallMonitor::Clock::now() - std::chrono::seconds(60));
    ASSERT_GE(r.monitor.silentSeconds(), 60.0);
    const Phase phase = r.item.phase();
    r.reader.handle(QStringLiteral("@@PROG 1|2|3|4"));
    EXPECT_EQ(r.item.phase(), phase);
    EXPECT_TRUE(r.phases.isEmpty());
    EXPECT_LT(r.monitor.silentSeconds(), 30.0);
}

TEST(OutputReader, NonFiniteAndGarbageFieldsCountAsAbsent) {
    Reading r;
    r.reader.handle(QStringLiteral("@@PROG nan|inf|-5|inf|avc1"));
    ASSERT_EQ(r.item.phase().kind(), Phase::downloading);
    EXPECT_EQ(r.item.phase().fraction(), std::nullopt);
    EXPECT_EQ(r.item.phase().text(), u"0.0 MB");
    r.reader.handle(QStringLiteral("@@PROG 1e300|2e300|NA|1e400|avc1"));
    EXPECT_EQ(r.item.phase().fraction(), std::nullopt);
    r.reader.handle(QStringLiteral("@@PROG 12x|abc||NaN|avc1"));
    EXPECT_EQ(r.item.phase().text(), u"0.0 MB");
    EXPECT_FALSE(OutputReader::number(QStringLiteral("NaN")));
    EXPECT_FALSE(OutputReader::number(QStringLiteral("-1")));
    EXPECT_EQ(OutputReader::number(QStringLiteral("1726195.097")), 1726195.097);
}

TEST(OutputReader, LinesAfterTheItemEndedChangeNothing) {
    Reading r;
    r.item.setPhase(Phase::makeFailed(Failure::cancelled()));
    r.phases.clear();
    r.reader.handle(QStringLiteral("@@TITLE late"));
    r.reader.handle(QStringLiteral("@@PROG 1|2|NA|NA|avc1"));
    EXPECT_NE(r.item.title(), u"late");
    EXPECT_TRUE(r.phases.isEmpty());
    EXPECT_EQ(r.monitor.stage(), u"正在连接");
}
