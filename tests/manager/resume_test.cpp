// Interrupted downloads keep their data and continue from it: the manager with its real Channels
// engine against the loopback stand-ins, the kept data in the private home's data folder. (The
// real app quit or killed during a Channels or yt-dlp transfer: tests/app/resume_app_test.cpp.)

#include "common/channels_services.h"
#include "manager/manager_fixture.h"
#include "manager/partial_expiry.h"
#include "support/app_paths.h"
#include "support/partial_store.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace {

using namespace ManagerTest;
using namespace std::chrono_literals;
using ChannelsServices::VideoServing;

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString keptFolder(const DownloadItem& item) {
    return PartialStore::root() + u'/' + item.id().toString(QUuid::WithoutBraces);
}

QStringList desktopFiles() {
    return QDir(AppPaths::desktop()).entryList(QDir::Files | QDir::Hidden);
}

void serveVideo(const QByteArray& video, const VideoServing& how) {
    const QString origin = server().origin();
    server().setHandler([=](const HttpTestServer::Request& request) {
        return ChannelsServices::answer(request, origin, video, how)
            .value_or(HttpTestServer::Reply::text("not here", 404));
    });
}

// The Range headers of the video requests, in order ("" for a request without one).
QList<QByteArray> videoRanges() {
    QList<QByteArray> ranges;
    for (const auto& request : server().requests()) {
        if (request.path().startsWith("/video/"))
            ranges.append(request.header("Range").value_or(QByteArray()));
    }
    return ranges;
}

class Resume : public ::testing::Test {
protected:
    void SetUp() override {
        logIn();
        server().clearRequests();
        harness.manager->keepPartialData(PartialStore::root());
    }

    // Starts a Channels download that goes silent after `stallAfter` bytes and interrupts it
    // once they are all kept.
    DownloadManager::ItemPointer interruptChannels(const QString& id, qint64 stallAfter) {
        serveVideo(video, {0, "\"v1\"", {}, true, stallAfter});
        auto item = harness.submit(shareLink(id));
        const QString kept = keptFolder(*item) + QStringLiteral("/video.mp4");
        EXPECT_TRUE(TestSupport::waitUntil([&] { return QFileInfo(kept).size() == stallAfter; }));
        harness.manager->interruptAll();
        EXPECT_TRUE(harness.waitFinished(item));
        return item;
    }

    Harness harness;
    const QByteArray video = mp4Bytes(1'500'000);
};

TEST_F(Resume, AnInterruptedChannelsDownloadContinuesFromItsKeptLength) {
    auto item = interruptChannels(QStringLiteral("Cut1"), 600'000);
    EXPECT_EQ(item->phase(), Phase::makeFailed(Failure::interrupted()));
    // The part is kept in the item's folder, owner-only, and nowhere else.
    const QString folder = keptFolder(*item);
    EXPECT_EQ(QFileInfo(folder + QStringLiteral("/video.mp4")).size(), 600'000);
    EXPECT_EQ(QFile::permissions(folder) & 0x0077, 0);
    EXPECT_TRUE(temporaryLeftovers().isEmpty()) << temporaryLeftovers().join(u',').toStdString();
    EXPECT_TRUE(desktopFiles().isEmpty());
    EXPECT_EQ(harness.shows, 0);

    serveVideo(video, {0, "\"v1\"", {}, true, -1});
    server().clearRequests();
    harness.manager->perform(Failure::Action::resume, item);
    ASSERT_TRUE(harness.waitFinished(item));
    ASSERT_EQ(item->phase().kind(), Phase::done) << item->phase().failure().advice.toStdString();
    EXPECT_EQ(videoRanges(), QList<QByteArray>{"bytes=600000-"});
    EXPECT_EQ(fileBytes(item->phase().file()), video);
    EXPECT_FALSE(QFileInfo::exists(folder));
}

// What the server says on the continuation decides whether the kept part is used: a server that
// ignores the range, or a file that changed (a new ETag), starts again from zero.
struct Answer {
    const char* name;
    VideoServing how;
    bool changed;  // the file is a new one
    QList<QByteArray> rangesExpected;
};

void PrintTo(const Answer& value, std::ostream* out) {
    *out << value.name;
}

class ResumeAnswer : public Resume, public ::testing::WithParamInterface<Answer> {};

TEST_P(ResumeAnswer, StartsAgainFromZeroAndSavesTheServersFile) {
    auto item = interruptChannels(QStringLiteral("Cut2"), 500'000);
    ASSERT_EQ(item->phase(), Phase::makeFailed(Failure::interrupted()));
    // A changed file of the same length, changed within the kept part: only the ETag tells.
    QByteArray now = video;
    if (GetParam().changed) now[100'000] = char(now[100'000] ^ 0x55);
    serveVideo(now, GetParam().how);
    server().clearRequests();
    harness.manager->resume(item);
    ASSERT_TRUE(harness.waitFinished(item));
    ASSERT_EQ(item->phase().kind(), Phase::done) << item->phase().failure().advice.toStdString();
    EXPECT_EQ(videoRanges(), GetParam().rangesExpected);
    EXPECT_EQ(fileBytes(item->phase().file()), now);
    EXPECT_FALSE(QFileInfo::exists(keptFolder(*item)));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ResumeAnswer,
    ::testing::Values(
        Answer{"RangeIgnored", {0, "\"v1\"", {}, false, -1}, false, {"bytes=500000-"}},
        Answer{"NewETag", {0, "\"v2\"", {}, true, -1}, true, {"bytes=500000-", ""}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Resume, ACancelOrARemovedRowDeletesTheKeptData) {
    serveVideo(video, {0, "\"v1\"", {}, true, 400'000});
    auto item = harness.submit(shareLink(QStringLiteral("Cut3")));
    const QString folder = keptFolder(*item);
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] { return QFileInfo(folder + QStringLiteral("/video.mp4")).size() == 400'000; }));
    harness.manager->cancel(item);
    ASSERT_TRUE(harness.waitFinished(item));
    EXPECT_TRUE(item->phase().failure().isCancel);
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(temporaryLeftovers().isEmpty());

    auto interrupted = interruptChannels(QStringLiteral("Cut4"), 300'000);
    ASSERT_TRUE(QFileInfo::exists(keptFolder(*interrupted)));
    harness.manager->remove(interrupted);
    EXPECT_TRUE(
        TestSupport::waitUntil([&] { return !QFileInfo::exists(keptFolder(*interrupted)); }));
}

TEST_F(Resume, ExpiredKeptDataIsRemovedAndItsItemSaysSo) {
    auto item = interruptChannels(QStringLiteral("Old1"), 300'000);
    ASSERT_EQ(item->phase(), Phase::makeFailed(Failure::interrupted()));
    const QString folder = keptFolder(*item);
    const QDateTime old = QDateTime::currentDateTime().addDays(-8);
    for (QDirIterator it(folder, QDir::Files); it.hasNext();) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    removeExpiredPartialData(harness.manager.get(), PartialStore::root());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !QFileInfo::exists(folder); }));
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] { return item->phase() == Phase::makeFailed(Failure::partialExpired()); }));
    // Downloading it again starts from zero.
    serveVideo(video, {0, "\"v1\"", {}, true, -1});
    server().clearRequests();
    harness.manager->perform(Failure::Action::downloadAgain, item);
    ASSERT_TRUE(harness.waitFinished(item));
    EXPECT_EQ(videoRanges(), QList<QByteArray>{""});
    EXPECT_EQ(fileBytes(item->phase().file()), video);
}

}  // namespace
