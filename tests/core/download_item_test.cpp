#include "core/download_item.h"
#include "core/speed_meter.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <atomic>
#include <thread>

namespace {

QUrl urlWithHostAndPathOf(int characters) {
    // "a.com" is 5 characters; the rest is path.
    return QUrl(QStringLiteral("https://a.com/") + QString(characters - 6, QLatin1Char('p')));
}

using namespace std::chrono_literals;

}  // namespace

TEST(DownloadItem, StartsPreparingWithAProvisionalTitle) {
    DownloadItem item(QUrl(QStringLiteral("https://b23.tv/TgEIXkw?x=1")), Platform::bilibili);
    EXPECT_EQ(item.title(), QStringLiteral("b23.tv/TgEIXkw"));
    EXPECT_EQ(item.phase(), Phase::makeWorking(QStringLiteral("准备中…")));
    // Active from the start: cancelling everything and the busy icon include it before any
    // engine has taken it up.
    EXPECT_TRUE(item.isActive());
    EXPECT_FALSE(item.isFinished());
    EXPECT_FALSE(item.thumbnail().has_value());
    EXPECT_EQ(item.cancelToken, nullptr);
    EXPECT_FALSE(item.autoLoginShown);
    EXPECT_FALSE(item.id().isNull());
    DownloadItem other(item.url(), item.platform());
    EXPECT_NE(item.id(), other.id());
}

TEST(DownloadItem, ProvisionalTitleKeepsSixtyCharacters) {
    EXPECT_EQ(DownloadItem::provisionalTitle(urlWithHostAndPathOf(60)).size(), 60);
    const QString cut = DownloadItem::provisionalTitle(urlWithHostAndPathOf(61));
    EXPECT_EQ(cut, urlWithHostAndPathOf(60).host() + urlWithHostAndPathOf(60).path() +
                       QStringLiteral("…"));
    EXPECT_EQ(DownloadItem::provisionalTitle(QUrl(QStringLiteral("/only/path"))),
              QStringLiteral("/only/path"));
    // Non-ASCII paths count user-perceived characters.
    const QString title = DownloadItem::provisionalTitle(
        QUrl(QStringLiteral("https://a.com/") + QStringLiteral("视").repeated(60)));
    EXPECT_EQ(title,
              QStringLiteral("a.com/") + QStringLiteral("视").repeated(54) + QStringLiteral("…"));
}

TEST(DownloadItem, EachFieldHasItsOwnChangeSignal) {
    DownloadItem item(QUrl(QStringLiteral("https://b23.tv/x")), Platform::bilibili);
    QSignalSpy titles(&item, &DownloadItem::titleChanged);
    QSignalSpy thumbnails(&item, &DownloadItem::thumbnailChanged);
    QSignalSpy phases(&item, &DownloadItem::phaseChanged);
    item.setTitle(QStringLiteral("标题"));
    item.setTitle(QStringLiteral("标题"));
    item.setThumbnail(QUrl(QStringLiteral("https://i.example/t.jpg")));
    item.setPhase(Phase::makeDownloading(0.5, QStringLiteral("50%")));
    item.setPhase(Phase::makeDownloading(0.5, QStringLiteral("50%")));
    EXPECT_EQ(titles.count(), 1);
    EXPECT_EQ(thumbnails.count(), 1);
    EXPECT_EQ(phases.count(), 1);
    EXPECT_TRUE(item.isActive());
    // A cancellation is an end like any other: the item can be retried or cleared.
    item.setPhase(Phase::makeFailed(Failure::cancelled()));
    EXPECT_EQ(phases.count(), 2);
    EXPECT_TRUE(item.isFinished());
    EXPECT_FALSE(item.isActive());
}

TEST(SpeedMeter, PercentAmountsAndMeasuredRate) {
    SpeedMeter meter;
    const auto t0 = SpeedMeter::Clock::now();
    EXPECT_EQ(meter.text(524288, 1 << 20, std::nullopt, t0),
              QStringLiteral("50% · 0.5 MB / 1.0 MB"));
    // 1 MiB more after half a second: 2.0 MB/s.
    EXPECT_EQ(meter.text(524288 + (1 << 20), 4 << 20, std::nullopt, t0 + 500ms),
              QStringLiteral("37% · 1.5 MB / 4.0 MB · 2.0 MB/s"));
    // Too short a span gives no rate.
    SpeedMeter fresh;
    fresh.text(0, 0, std::nullopt, t0);
    EXPECT_EQ(fresh.text(1 << 20, 0, std::nullopt, t0 + 300ms), QStringLiteral("1.0 MB"));
}

TEST(SpeedMeter, ASpeedIsLeftOutOnceNoByteHasComeForFiveSeconds) {
    SpeedMeter meter;
    const auto t0 = SpeedMeter::Clock::now();
    EXPECT_EQ(meter.text(1 << 20, 0, 6.5 * 1048576, t0), QStringLiteral("1.0 MB · 6.5 MB/s"));
    // The tool repeats its last speed while nothing arrives.
    EXPECT_EQ(meter.text(1 << 20, 0, 6.5 * 1048576, t0 + 4900ms),
              QStringLiteral("1.0 MB · 6.5 MB/s"));
    EXPECT_EQ(meter.text(1 << 20, 0, 6.5 * 1048576, t0 + 5s), QStringLiteral("1.0 MB"));
    EXPECT_EQ(meter.text(1 << 20, 0, std::nullopt, t0 + 9s), QStringLiteral("1.0 MB"));
    // A zero rate is never shown; new bytes bring the rate back.
    EXPECT_EQ(meter.text(2 << 20, 0, 0.0, t0 + 10s), QStringLiteral("2.0 MB"));
    EXPECT_EQ(meter.text(3 << 20, 0, 1048576.0, t0 + 11s), QStringLiteral("3.0 MB · 1.0 MB/s"));
}

TEST(SpeedMeter, WindowForgetsSamplesOlderThanThreeSeconds) {
    SpeedMeter meter;
    const auto t0 = SpeedMeter::Clock::now();
    meter.text(0, 0, std::nullopt, t0);
    // After a pause of more than three seconds only the new samples count, 0.2 s apart.
    meter.text(10 << 20, 0, std::nullopt, t0 + 4s);
    EXPECT_EQ(meter.text(11 << 20, 0, std::nullopt, t0 + 4200ms), QStringLiteral("11.0 MB"));
    // A sample exactly three seconds old stays.
    SpeedMeter exact;
    exact.text(0, 0, std::nullopt, t0);
    EXPECT_EQ(exact.text(3 << 20, 0, std::nullopt, t0 + 3s), QStringLiteral("3.0 MB · 1.0 MB/s"));
}

TEST(SpeedMeter, GivenRatesAndOddCounts) {
    SpeedMeter meter;
    const auto t0 = SpeedMeter::Clock::now();
    EXPECT_EQ(meter.text(0, 0, 2.5 * 1048576, t0), QStringLiteral("0.0 MB · 2.5 MB/s"));
    EXPECT_EQ(meter.text(0, 0, 0.0, t0), QStringLiteral("0.0 MB"));
    // More than announced shows above 100%.
    EXPECT_EQ(meter.text(3 << 20, 2 << 20, 0.0, t0), QStringLiteral("150% · 3.0 MB / 2.0 MB"));
    // A falling count (a second stream starts) shows no rate.
    SpeedMeter streams;
    streams.text(5 << 20, 0, std::nullopt, t0);
    EXPECT_EQ(streams.text(1 << 20, 0, std::nullopt, t0 + 1s), QStringLiteral("1.0 MB"));
}

// A progress line may claim some 9e18 bytes of a 1-byte file: the percentage (above 9e20) fits
// no integer.
TEST(SpeedMeter, PercentagesBeyondEveryIntegerAreShownWhole) {
    SpeedMeter meter;
    EXPECT_EQ(meter.text(qint64(1) << 62, 1, 0.0, SpeedMeter::Clock::now()),
              QStringLiteral("461168601842738790400% · 4398046511104.0 MB / 0.0 MB"));
}

TEST(CancelToken, StoppersRunOnceAndLateOnesAtOnce) {
    auto token = CancelToken::make();
    int first = 0, removed = 0, late = 0;
    token->onCancel([&] { ++first; });
    const int id = token->onCancel([&] { ++removed; });
    token->removeStopper(id);
    EXPECT_NO_THROW(token->throwIfCancelled());
    token->cancel();
    token->cancel();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(removed, 0);
    token->onCancel([&] { ++late; });
    EXPECT_EQ(late, 1);
    try {
        token->throwIfCancelled();
        FAIL() << "a cancelled token must throw";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure, Failure::cancelled());
    }
    {
        CancelScope scope(token, [&] { ++late; });
    }
    EXPECT_EQ(late, 2);
}

TEST(CancelToken, AScopeEndingDuringItsStopperWaitsForIt) {
    auto token = CancelToken::make();
    std::atomic<bool> inStopper{false};
    std::atomic<bool> stopperDone{false};
    auto scope = std::make_unique<CancelScope>(token, [&] {
        inStopper = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stopperDone = true;
    });
    std::thread canceller([&] { token->cancel(); });
    while (!inStopper) std::this_thread::yield();
    scope.reset();  // must not return while the stopper still runs on the other thread
    EXPECT_TRUE(stopperDone);
    canceller.join();
}

TEST(CancelToken, AStopperMayEndOtherScopesOnItsOwnThread) {
    auto token = CancelToken::make();
    int ran = 0;
    std::unique_ptr<CancelScope> second;
    CancelScope first(token, [&] {
        ++ran;
        second.reset();  // unwinding: the later stopper is dropped, without waiting on itself
    });
    second = std::make_unique<CancelScope>(token, [&] { ran += 10; });
    token->cancel();
    EXPECT_EQ(ran, 1);
}
