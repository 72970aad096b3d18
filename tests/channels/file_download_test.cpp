#include "channels/file_download.h"
#include "channels/channels_fixture.h"
#include "channels/save.h"
#include "channels/video_info.h"
#include "net/net.h"
#include "support/app_paths.h"
#include "support/temp_files.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QThread>

#include <sys/mount.h>
#include <sys/resource.h>
#include <csignal>
#include <functional>
#include <thread>
#include <utility>

namespace {

using ChannelsTest::mp4Bytes;
using ChannelsTest::outcomeOf;
using ChannelsTest::server;
using Reply = HttpTestServer::Reply;

QStringList temporaryFiles() {
    return QDir(AppPaths::temporary()).entryList({u"quorvin-*"_qs}, QDir::Files | QDir::Hidden);
}

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Makes an entry look an hour old, so that only a lease can keep clean-up away from it.
void backdate(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                 QFileDevice::FileModificationTime));
}

class FileDownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        server().clearRequests();
        server().setHandler({});
        for (const QString& name : temporaryFiles())
            QFile::remove(AppPaths::temporary() + u'/' + name);
    }

    static void serve(const Reply& reply) {
        server().setHandler([reply](const HttpTestServer::Request&) { return reply; });
    }

    struct Report {
        qint64 written;
        qint64 total;
    };
};

TEST_F(FileDownloadTest, StreamsTheBodyIntoANewTemporaryFile) {
    const QByteArray body = mp4Bytes(3 * 1024 * 1024 + 17);
    Reply reply = Reply::text(body, 200, "video/mp4");
    reply.headers.append(qMakePair(QByteArray("X-encflag"), QByteArray("0")));
    serve(reply);

    std::vector<Report> reports;
    FileDownload download([&](qint64 written, qint64 total) {
        reports.push_back({written, total});
    });
    const auto outcome = outcomeOf(download.run(server().url(u"/video.mp4?token=x"_qs)));
    ASSERT_TRUE(outcome.value) << (outcome.problem ? outcome.problem->detail().toStdString() : "");

    const FileDownload::Result& result = *outcome.value;
    EXPECT_TRUE(
        QRegularExpression(
            QRegularExpression::escape(AppPaths::temporary()) +
            u"/quorvin-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.mp4$"_qs)
            .match(result.file)
            .hasMatch())
        << result.file.toStdString();
    EXPECT_EQ(contentsOf(result.file), body);
    EXPECT_EQ(result.response.status, 200);
    EXPECT_EQ(result.response.header("x-encflag"), "0");
    EXPECT_EQ(result.response.header("content-type"), "video/mp4");

    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().written, body.size());
    for (size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i].total, body.size());
        if (i > 0) {
            EXPECT_GE(reports[i].written, reports[i - 1].written);
        }
    }

    const auto requests = server().requests();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/video.mp4?token=x");
    EXPECT_EQ(requests[0].header("User-Agent"), QByteArray(Net::kUserAgent));
    EXPECT_EQ(requests[0].header("Referer"), (Channels::webOrigin() + u'/').toUtf8());
    EXPECT_FALSE(requests[0].header("Cookie"));
    EXPECT_TRUE(requests[0].body.isEmpty());
}

TEST_F(FileDownloadTest, UnknownLengthReportsMinusOne) {
    Reply reply = Reply::text(mp4Bytes(200'000), 200, "video/mp4");
    reply.sendLength = false;
    serve(reply);
    std::vector<Report> reports;
    FileDownload download([&](qint64 written, qint64 total) {
        reports.push_back({written, total});
    });
    const auto outcome = outcomeOf(download.run(server().url(u"/v"_qs)));
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(contentsOf(outcome.value->file).size(), 200'000);
    ASSERT_FALSE(reports.empty());
    for (const Report& report : reports) EXPECT_EQ(report.total, -1);
    EXPECT_EQ(reports.back().written, 200'000);
}

TEST_F(FileDownloadTest, ErrorPageIsDownloadedThenJudgedBySave) {
    serve(Reply::text("<html><body>404 Not Found</body></html>", 404, "text/html"));
    FileDownload download(nullptr);
    const auto outcome = outcomeOf(download.run(server().url(u"/gone.mp4"_qs)));
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(outcome.value->response.status, 404);
    EXPECT_TRUE(contentsOf(outcome.value->file).contains("404 Not Found"));
    try {
        Channels::save(outcome.value->file, outcome.value->response, u"x.mp4"_qs);
        ADD_FAILURE() << "save accepted an error page";
    } catch (const Problem& problem) {
        EXPECT_EQ(problem, Problem::linkExpired());
    }
    EXPECT_FALSE(QFile::exists(outcome.value->file));
    EXPECT_FALSE(QFile::exists(AppPaths::desktop() + u"/x.mp4"_qs));
}

TEST_F(FileDownloadTest, StalledServerTimesOutAndLeavesNothing) {
    Reply reply = Reply::text(mp4Bytes(100'000), 200, "video/mp4");
    reply.stallAfter = 5'000;
    serve(reply);
    FileDownload download(nullptr);
    download.setTimeout(std::chrono::milliseconds(600));
    QElapsedTimer clock;
    clock.start();
    const auto outcome = outcomeOf(download.run(server().url(u"/v"_qs)));
    EXPECT_EQ(outcome.problem, Problem::network(u"视频服务器：连接超时"_qs));
    EXPECT_LT(clock.elapsed(), 10'000);
    EXPECT_TRUE(temporaryFiles().isEmpty()) << temporaryFiles().join(u' ').toStdString();
}

// Qt ends such a reply sometimes with an error and sometimes quietly: either way the transfer
// broke off, and nothing is kept.
TEST_F(FileDownloadTest, BodyCutShortByAResetOrACloseBrokeOff) {
    for (const bool reset : {true, false}) {
        Reply reply = Reply::text(mp4Bytes(1'048'576), 200, "video/mp4");
        (reset ? reply.dropAfter : reply.closeAfter) = 314'573;
        serve(reply);
        FileDownload download(nullptr);
        const auto outcome = outcomeOf(download.run(server().url(u"/v"_qs)));
        ASSERT_TRUE(outcome.problem) << (reset ? "reset" : "close");
        EXPECT_EQ(outcome.problem->kind(), Problem::Kind::network);
        if (reset) {
            // A reset discards what had not been read yet: some of the sent bytes never arrive.
            EXPECT_TRUE(outcome.problem->detail().startsWith(u"视频服务器：传输中途断开（收到 "))
                << outcome.problem->detail().toStdString();
            EXPECT_TRUE(outcome.problem->detail().endsWith(u"，应有 1.0 MB）"));
        } else {
            EXPECT_EQ(outcome.problem->detail(),
                      u"视频服务器：传输中途断开（收到 0.3 MB，应有 1.0 MB）"_qs);
        }
        EXPECT_TRUE(temporaryFiles().isEmpty());
    }
}

// Asking for the bytes as stored keeps Qt from unpacking a compressed body, so its length can
// be checked: a compressed body cut short is no longer taken for a whole one.
TEST_F(FileDownloadTest, BodyIsRequestedUnencodedAndCheckedAsSent) {
    const QByteArray packed = qCompress(mp4Bytes(400'000)).mid(4);  // a zlib ("deflate") stream
    Reply reply = Reply::text(packed, 200, "video/mp4");
    reply.headers.append(qMakePair(QByteArray("Content-Encoding"), QByteArray("deflate")));
    reply.closeAfter = packed.size() / 2;
    serve(reply);
    FileDownload cut(nullptr);
    const auto outcome = outcomeOf(cut.run(server().url(u"/v"_qs)));
    ASSERT_TRUE(outcome.problem);
    EXPECT_TRUE(outcome.problem->detail().startsWith(u"视频服务器：传输中途断开"))
        << outcome.problem->detail().toStdString();
    ASSERT_EQ(server().requests().size(), 1);
    EXPECT_EQ(server().requests()[0].header("Accept-Encoding"), "identity");

    // Sent whole (by a server that encodes anyway), the bytes are kept as they came.
    reply.closeAfter = -1;
    serve(reply);
    FileDownload whole(nullptr);
    const auto kept = outcomeOf(whole.run(server().url(u"/v"_qs)));
    ASSERT_TRUE(kept.value);
    EXPECT_EQ(contentsOf(kept.value->file), packed);
}

TEST_F(FileDownloadTest, RefusedConnectionNamesTheServer) {
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    FileDownload download(nullptr);
    const auto outcome = outcomeOf(download.run(QUrl(u"http://127.0.0.1:%1/v"_qs.arg(closedPort))));
    ASSERT_TRUE(outcome.problem);
    EXPECT_EQ(outcome.problem->kind(), Problem::Kind::network);
    EXPECT_TRUE(outcome.problem->detail().startsWith(u"视频服务器："_qs));
    EXPECT_GT(outcome.problem->detail().size(), QString(u"视频服务器："_qs).size());
    EXPECT_TRUE(temporaryFiles().isEmpty());
}

TEST_F(FileDownloadTest, CancelFromAnotherThreadDuringTheTransfer) {
    Reply reply = Reply::text(mp4Bytes(4'000'000), 200, "video/mp4");
    reply.throttleBytes = 64 * 1024;
    reply.throttleMs = 20;
    serve(reply);
    std::atomic<qint64> seen{0};
    FileDownload download([&](qint64 written, qint64) { seen = written; });
    std::thread canceller([&] {
        while (seen.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        download.cancel();
        download.cancel();  // any number of times
    });
    QElapsedTimer clock;
    clock.start();
    const auto outcome = outcomeOf(download.run(server().url(u"/v"_qs)));
    canceller.join();
    EXPECT_EQ(outcome.problem, Problem::cancelled());
    EXPECT_EQ(outcome.problem.value_or(Problem::notFound()).failure(), Failure::cancelled());
    EXPECT_LT(seen.load(), 4'000'000);
    EXPECT_LT(clock.elapsed(), 5'000);
    EXPECT_TRUE(temporaryFiles().isEmpty());
}

TEST_F(FileDownloadTest, CancelTokenStopsTheTransfer) {
    Reply reply = Reply::text(mp4Bytes(1'000'000), 200, "video/mp4");
    reply.stallAfter = 1'000;
    serve(reply);
    auto token = CancelToken::make();
    FileDownload download([token](qint64, qint64) { token->cancel(); });
    const auto outcome = outcomeOf(download.run(server().url(u"/v"_qs), token));
    EXPECT_EQ(outcome.problem, Problem::cancelled());
    EXPECT_TRUE(temporaryFiles().isEmpty());
}

TEST_F(FileDownloadTest, CancelBeforeRunDoesNothing) {
    serve(Reply::text(mp4Bytes(10'000), 200, "video/mp4"));
    FileDownload download(nullptr);
    download.cancel();
    const auto outcome = outcomeOf(download.run(server().url(u"/v"_qs)));
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(contentsOf(outcome.value->file).size(), 10'000);
}

TEST_F(FileDownloadTest, ProgressArrivesOnTheMainThreadCoalesced) {
    // About 70 pieces over about a second: a report per piece would be ~70 reports.
    const QByteArray body = mp4Bytes(1'100'000);
    Reply reply = Reply::text(body, 200, "video/mp4");
    reply.throttleBytes = 16 * 1024;
    reply.throttleMs = 15;
    serve(reply);
    QList<qint64> writtenSeen;
    bool offMainThread = false;
    QElapsedTimer clock;
    clock.start();
    FileDownload download([&](qint64 written, qint64) {
        if (QThread::currentThread() != QCoreApplication::instance()->thread())
            offMainThread = true;
        writtenSeen.append(written);
    });
    const auto outcome = outcomeOf(download.run(server().url(u"/v"_qs)));
    const qint64 elapsed = clock.elapsed();
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(contentsOf(outcome.value->file), body);
    EXPECT_FALSE(offMainThread);
    ASSERT_GE(writtenSeen.size(), 2);
    EXPECT_EQ(writtenSeen.back(), body.size());
    for (qsizetype i = 1; i < writtenSeen.size(); ++i)
        EXPECT_GE(writtenSeen[i], writtenSeen[i - 1]);
    // The transfer posts at most one report per interval (and the final one), whenever the main
    // thread gets to deliver them: a loaded machine only makes the run longer and the bound
    // looser, never the count higher.
    EXPECT_LE(writtenSeen.size(), elapsed / FileDownload::kProgressInterval.count() + 3)
        << writtenSeen.size() << " reports in " << elapsed << " ms";
}

TEST_F(FileDownloadTest, TransferGoesOnWhileTheMainThreadIsBusy) {
    const QByteArray body = mp4Bytes(3'000'000);
    Reply reply = Reply::text(body, 200, "video/mp4");
    reply.throttleBytes = 64 * 1024;
    reply.throttleMs = 10;
    serve(reply);
    qint64 before = -1;
    qint64 after = -1;
    FileDownload download([&](qint64, qint64) {
        if (before >= 0) return;
        const QStringList files = temporaryFiles();
        if (files.size() != 1) return;
        const QString path = AppPaths::temporary() + u'/' + files.first();
        before = QFileInfo(path).size();
        // The main thread handles no event until half a megabyte more has reached the disk: a
        // transfer that needed it would never get there.
        QDeadlineTimer deadline(std::chrono::seconds(30));
        do {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            after = QFileInfo(path).size();
        } while (after - before < 512 * 1024 && !deadline.hasExpired());
    });
    const auto outcome = outcomeOf(download.run(server().url(u"/v"_qs)));
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(contentsOf(outcome.value->file), body);
    ASSERT_GE(before, 0);
    EXPECT_GE(after - before, 512 * 1024) << "before " << before << ", after " << after;
}

TEST_F(FileDownloadTest, RunningTransferFileSurvivesStartUpCleanUp) {
    Reply reply = Reply::text(mp4Bytes(1'000'000), 200, "video/mp4");
    reply.stallAfter = 100'000;
    serve(reply);
    const QString strayName = TempFiles::transferFileName();  // a killed run's transfer file
    const QString stray = TestSupport::writeFile(AppPaths::temporary() + u'/' + strayName, "x");
    backdate(stray);

    QString running;
    QStringList removed;
    bool survived = false;
    std::function<void()> cleanUpWhileRunning;
    // The first report: the transfer file is there and being written.
    FileDownload download([&](qint64 written, qint64) {
        if (written == 0 || !cleanUpWhileRunning) return;
        std::exchange(cleanUpWhileRunning, nullptr)();
    });
    cleanUpWhileRunning = [&] {
        for (const QString& name : temporaryFiles()) {
            if (name != strayName) running = AppPaths::temporary() + u'/' + name;
        }
        if (!running.isEmpty()) {
            backdate(running);
            removed = TempFiles::removeAbandoned(AppPaths::temporary(), std::chrono::seconds(0));
            survived = QFile::exists(running);
        }
        download.cancel();
    };
    const auto outcome = outcomeOf(download.run(server().url(u"/v"_qs)));
    EXPECT_EQ(outcome.problem, Problem::cancelled());
    ASSERT_FALSE(running.isEmpty());
    EXPECT_TRUE(survived);
    EXPECT_EQ(removed, QStringList{stray});  // clean-up did run, and spared only the leased file
    EXPECT_TRUE(temporaryFiles().isEmpty()) << temporaryFiles().join(u' ').toStdString();
}

TEST_F(FileDownloadTest, ResultKeepsTheFileLeasedUntilReleased) {
    serve(Reply::text(mp4Bytes(50'000), 200, "video/mp4"));
    FileDownload download(nullptr);
    auto outcome = outcomeOf(download.run(server().url(u"/v"_qs)));
    ASSERT_TRUE(outcome.value);
    const QString file = outcome.value->file;
    ASSERT_TRUE(outcome.value->lease);
    EXPECT_TRUE(outcome.value->lease->isHeld());
    backdate(file);

    FileDownload::Result copy = *outcome.value;
    outcome.value.reset();
    EXPECT_TRUE(
        TempFiles::removeAbandoned(AppPaths::temporary(), std::chrono::seconds(0)).isEmpty());
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_EQ(contentsOf(file).size(), 50'000);

    copy.lease.reset();  // the last holder lets go
    EXPECT_EQ(TempFiles::removeAbandoned(AppPaths::temporary(), std::chrono::seconds(0)),
              QStringList{file});
}

TEST_F(FileDownloadTest, NeitherSendsNorKeepsCookies) {
    server().setHandler([](const HttpTestServer::Request& request) {
        if (request.path() == "/first") {
            Reply redirect = Reply::text("", 302);
            redirect.headers.append(
                qMakePair(QByteArray("Set-Cookie"), QByteArray("seen=1; Path=/")));
            redirect.headers.append(qMakePair(QByteArray("Location"), QByteArray("/second")));
            return redirect;
        }
        return Reply::text(mp4Bytes(10'000), 200, "video/mp4");
    });
    FileDownload download(nullptr);
    const auto outcome = outcomeOf(download.run(server().url(u"/first"_qs)));
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(outcome.value->response.status, 200);
    EXPECT_TRUE(outcome.value->response.url.path().endsWith(u"/second"_qs));
    const auto requests = server().requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[1].path(), "/second");
    EXPECT_FALSE(requests[1].header("Cookie"));
}

// A full temporary folder is the temporary folder's fault: the texts name it and do not send
// the user to the Desktop. The folder is a real 1 MiB tmpfs where mounting is allowed (root);
// elsewhere a file size limit makes the writes fail the same way.
TEST_F(FileDownloadTest, AFullTemporaryFolderIsNamedAsTheCulprit) {
    const QString small = TestSupport::home() + u"/small-tmp"_qs;
    ASSERT_TRUE(QDir().mkpath(small));
    const bool mounted = ::mount("tmpfs", QFile::encodeName(small).constData(), "tmpfs", 0,
                                 "size=1m,mode=0700") == 0;
    rlimit usual{};
    ::getrlimit(RLIMIT_FSIZE, &usual);
    if (!mounted) {
        std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
        const rlimit limit{1 << 20, usual.rlim_max};
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    const QByteArray previous = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(small));

    serve(Reply::text(mp4Bytes(3 * 1024 * 1024), 200, "video/mp4"));
    FileDownload download(nullptr);
    const auto outcome = outcomeOf(download.run(server().url(u"/v"_qs)));

    qputenv("TMPDIR", previous);
    if (mounted) {
        ::umount2(QFile::encodeName(small).constData(), MNT_DETACH);
    } else {
        ::setrlimit(RLIMIT_FSIZE, &usual);
    }
    ASSERT_TRUE(outcome.problem);
    EXPECT_EQ(outcome.problem->kind(), Problem::Kind::disk);
    const Failure failure = outcome.problem->failure();
    EXPECT_EQ(failure.title, u"视频保存失败");
    EXPECT_TRUE(failure.advice.startsWith(u"无法把视频写到临时文件夹（"_qs + small + u"："_qs))
        << failure.advice.toStdString();
    EXPECT_TRUE(failure.advice.contains(u"临时文件夹所在的磁盘空间不足"))
        << failure.advice.toStdString();
    EXPECT_FALSE(failure.advice.contains(u"桌面")) << failure.advice.toStdString();
    EXPECT_FALSE(failure.actions.contains(Failure::Action::openDesktopPrivacy));
}

TEST_F(FileDownloadTest, DestroyedWhileRunningRemovesItsFile) {
    Reply reply = Reply::text(mp4Bytes(1'000'000), 200, "video/mp4");
    reply.stallAfter = 100'000;
    serve(reply);
    bool reported = false;
    {
        auto download = std::make_unique<FileDownload>([&](qint64, qint64) { reported = true; });
        // The task is dropped on purpose: nobody awaits it once its object is gone.
        QCoro::Task<FileDownload::Result> task = download->run(server().url(u"/v"_qs));
        ASSERT_TRUE(TestSupport::waitUntil([&] { return reported; }, std::chrono::seconds(10)));
        ASSERT_EQ(temporaryFiles().size(), 1);
        download.reset();
        reported = false;
        EXPECT_TRUE(TestSupport::waitUntil([] { return temporaryFiles().isEmpty(); },
                                           std::chrono::seconds(10)));
        EXPECT_FALSE(reported);  // no report reaches a callback whose object is gone
    }
}

}  // namespace
