#include "sites/stall_monitor.h"
#include "sites/site_test_support.h"
#include "sites/stream_tracker.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(StallMonitor, StartsConnectingAndMovesThroughTheStages) {
    StallMonitor monitor(Platform::youtube);
    EXPECT_EQ(monitor.stage(), u"正在连接");
    const std::pair<const char*, const char*> steps[] = {
        {"[youtube] Extracting URL: https://www.youtube.com/watch?v=x", "正在连接 YouTube"},
        {"[youtube] x: Downloading webpage", "正在获取视频网页"},
        {"[youtube] x: Downloading player 1234abcd", "正在下载网站的播放器脚本"},
        {"[youtube] [jsc:deno] Solving JS challenges", "正在通过网站的验证"},
        {"[youtube] x: Downloading m3u8 information", "正在获取可下载的清晰度"},
        {"[youtube] x: Downloading tv client config", "正在获取视频信息"},
        {"[info] x: Downloading 1 format(s): 137+140", "正在获取可下载的清晰度"},
        {"[bilibili] 123: Downloading playinfo", "正在获取视频信息"},
        // A later line may move the stage back.
        {"[generic] x: Downloading webpage", "正在获取视频网页"},
    };
    for (const auto& [line, stage] : steps) {
        monitor.heard(QString::fromUtf8(line));
        EXPECT_EQ(monitor.stage(), QString::fromUtf8(stage)) << line;
    }
    EXPECT_FALSE(monitor.postProcessing());
}

TEST(StallMonitor, DownloadLinesAndOtherTextLeaveTheStage) {
    StallMonitor monitor(Platform::bilibili);
    monitor.heard(QStringLiteral("[bilibili] 1: Downloading webpage"));
    monitor.heard(QStringLiteral("[download] Downloading item 1 of 3"));
    monitor.heard(QStringLiteral("@@PROG 1|2|NA|NA|avc1"));
    monitor.heard(QStringLiteral("Deleting original file x.m4a"));
    EXPECT_EQ(monitor.stage(), u"正在获取视频网页");
    // Any line with a stage word counts, a marker line included.
    monitor.heard(QStringLiteral("@@THUMB https://i0.hdslb.com/a.jpg?format=webp"));
    EXPECT_EQ(monitor.stage(), u"正在获取可下载的清晰度");
}

TEST(StallMonitor, PostProcessingIsCaseInsensitiveAndKeepsTheStage) {
    for (const char* line : {"[Merger] Merging formats into \"a.mp4\"", "[FixupM3u8] Fixing",
                             "[VideoConvertor] Converting", "[ExtractAudio] Destination"}) {
        StallMonitor monitor(Platform::other);
        monitor.heard(QStringLiteral("[generic] x: Downloading webpage"));
        monitor.heard(QString::fromUtf8(line));
        EXPECT_TRUE(monitor.postProcessing()) << line;
        EXPECT_EQ(monitor.stage(), u"正在获取视频网页") << line;
    }
}

TEST(StallMonitor, SilenceIsMeasuredFromTheLastLine) {
    const auto start = StallMonitor::Clock::now();
    StallMonitor monitor(Platform::other, start);
    EXPECT_DOUBLE_EQ(monitor.silentSeconds(start + 30s), 30.0);
    monitor.heard(QStringLiteral("anything"), start + 30s);
    EXPECT_DOUBLE_EQ(monitor.silentSeconds(start + 45s), 15.0);
    // Once bytes arrive only new bytes are news: the tool's retry talk and a repeated count are
    // not, a count that restarts with the next stream is.
    monitor.receivedBytes(4096, start + 50s);
    monitor.heard(QStringLiteral("[download] Got error: timed out. Retrying (1/3)..."),
                  start + 60s);
    monitor.receivedBytes(4096, start + 70s);
    EXPECT_DOUBLE_EQ(monitor.silentSeconds(start + 80s), 30.0);
    monitor.receivedBytes(1024, start + 80s);
    EXPECT_DOUBLE_EQ(monitor.silentSeconds(start + 85s), 5.0);
}

TEST(StallMonitor, StatusTextCountsSecondsSinceTheStart) {
    const auto start = StallMonitor::Clock::now();
    StallMonitor monitor(Platform::youtube, start);
    EXPECT_EQ(monitor.statusText(start + 5s), u"正在连接…");
    EXPECT_EQ(monitor.statusText(start + 9900ms), u"正在连接…");
    monitor.heard(QStringLiteral("[youtube] x: Downloading webpage"), start + 11s);
    EXPECT_EQ(monitor.statusText(start + 12s), u"正在获取视频网页…（已 12 秒）");
    EXPECT_EQ(monitor.statusText(start + 45s), u"正在获取视频网页…（已 45 秒，比平时慢）");
}

TEST(StallMonitor, FailureBeforeTheTitleNamesTheStageAndTheVpnRoute) {
    StallMonitor monitor(Platform::youtube);
    monitor.heard(QStringLiteral("[youtube] x: Downloading m3u8 information"));
    const Failure failure = monitor.failure();
    EXPECT_EQ(failure.title, u"网络太慢，卡在「获取可下载的清晰度」");
    // The advice names the limit in force, which the product sets at 90 seconds (the tool tests
    // shorten it and see a silent tool stopped).
    EXPECT_EQ(failure.advice,
              u"这一步 90 秒都没收到新数据。YouTube 要经过 VPN，当前线路太慢。\n"
              u"浏览器能直接看，是因为它已经缓存了网页和播放器脚本，而且只需先加载一小段低清画面；"
              u"下载器要先完整取得这些内容才能开始。\n换一个更快的 VPN 节点后点「重试」。");
    EXPECT_EQ(failure.actions, QList<Failure::Action>{Failure::Action::retry});
    EXPECT_FALSE(failure.isCancel);
}

TEST(StallMonitor, FailureOnADomesticSiteAndAfterTheTitle) {
    StallMonitor monitor(Platform::bilibili);
    monitor.heard(QStringLiteral("[BiliBili] Extracting URL: https://www.bilibili.com/video/BV1"));
    EXPECT_EQ(monitor.failure().title, u"网络太慢，卡在「连接 B站」");
    EXPECT_EQ(monitor.failure().advice,
              u"这一步 90 秒都没收到新数据。如果开着全局 VPN，国内网站也会绕道国外而变得很慢："
              u"试试关掉 VPN，或改成「只代理国外网站」，然后点「重试」。");
    monitor.setGotTitle();
    EXPECT_EQ(monitor.failure().title, u"网络太慢，卡在「下载视频」");
}

TEST(StallMonitor, TheFailureNamesTheLimitTheMonitorWasGiven) {
    EXPECT_EQ(StallMonitor(Platform::youtube).stallLimit(), 90.0);
    const StallMonitor shortened(Platform::bilibili, StallMonitor::Clock::now(), 1.5);
    EXPECT_TRUE(shortened.failure().advice.startsWith(u"这一步 1.5 秒都没收到新数据。"))
        << shortened.failure().advice.toStdString();
}

TEST(StreamTracker, LabelsTheSoundStreamAndALaterPictureStream) {
    StreamTracker tracker;
    EXPECT_EQ(tracker.label(QStringLiteral("avc1.64001f")), u"");
    EXPECT_EQ(tracker.label(QStringLiteral("avc1.64001f")), u"");
    EXPECT_EQ(tracker.label(QStringLiteral("none")), u"声音 · ");
    EXPECT_EQ(tracker.label(QStringLiteral("avc1.4d401e")), u"画面 · ");
}

TEST(StreamTracker, ADirectFileNeedsNoLabel) {
    StreamTracker tracker;
    EXPECT_EQ(tracker.label(QStringLiteral("NA")), u"");
    EXPECT_EQ(tracker.label(QStringLiteral("NA")), u"");
}
