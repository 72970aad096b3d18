// FileDownload throughput and memory against a local HTTP server.
//
//   file_download_bench serve FILE     serve FILE on 127.0.0.1 (sendfile), print "PORT <n>",
//                                      run until standard input closes
//   file_download_bench fetch URL      one FileDownload of URL into $TMPDIR; prints bytes,
//                                      seconds, MB/s and this process's peak RSS, then deletes
//                                      the file
//   file_download_bench [MiB]          both in one process (default 256 MiB), for bench/run.sh
//
// bench/file_download_bench.sh compares `fetch` with `curl -o FILE` on a 1 GiB file.

#include "channels/file_download.h"
#include "common/http_test_server.h"
#include "net/problem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <QCoro/QCoroTask>

#include <sys/resource.h>
#include <unistd.h>
#include <cstdio>

namespace {

// Every GET gets the whole file with its length, streamed by the kernel (sendfile), so the
// server is never what limits the measurement.
HttpTestServer::Handler wholeFile(const QString& path) {
    return [path](const HttpTestServer::Request&) {
        HttpTestServer::Reply reply;
        reply.headers = {{"Content-Type", "video/mp4"}};
        reply.file = path;
        return reply;
    };
}

long peakRssKiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QCoro::Task<> fetchOnce(QUrl url, int* exitCode) {
    FileDownload download(nullptr);
    QElapsedTimer clock;
    clock.start();
    try {
        const FileDownload::Result result = co_await download.run(url);
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        const qint64 bytes = QFile(result.file).size();
        QFile::remove(result.file);
        std::printf(
            "filedownload bytes=%lld seconds=%.3f mbps=%.1f peak_rss_mib=%.1f buffer_mib=%.1f\n",
            qlonglong(bytes), seconds, double(bytes) / 1e6 / seconds, double(peakRssKiB()) / 1024.0,
            double(FileDownload::kReadBufferSize) / 1048576.0);
        *exitCode = 0;
    } catch (const Problem& problem) {
        std::fprintf(stderr, "failed: %s %s\n", qPrintable(problem.title()),
                     qPrintable(problem.detail()));
        *exitCode = 1;
    }
    QCoreApplication::quit();
}

int fetch(const QUrl& url) {
    int exitCode = 2;
    QTimer::singleShot(0, [&] { fetchOnce(url, &exitCode); });
    QCoreApplication::exec();
    return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const QString mode = arguments.value(1);

    if (mode == u"serve" && arguments.size() == 3) {
        HttpTestServer server(wholeFile(arguments[2]));
        std::printf("PORT %u\n", unsigned(server.port()));
        std::fflush(stdout);
        char sink[64];
        while (::read(0, sink, sizeof sink) > 0) {
        }
        return 0;
    }
    if (mode == u"fetch" && arguments.size() == 3) return fetch(QUrl(arguments[2]));

    // Self-contained run: a generated file, served and fetched in this one process.
    const qint64 mib = mode.isEmpty() ? 256 : mode.toLongLong();
    if (mib <= 0) {
        std::fprintf(stderr, "usage: %s [serve FILE | fetch URL | MiB]\n", argv[0]);
        return 2;
    }
    QTemporaryDir folder;
    const QString source = folder.filePath(QStringLiteral("source.bin"));
    {
        QFile file(source);
        if (!file.open(QIODevice::WriteOnly)) return 1;
        QByteArray block(1024 * 1024, 'q');
        for (qint64 i = 0; i < mib; ++i) file.write(block);
    }
    qputenv("TMPDIR", QFile::encodeName(folder.path()));
    HttpTestServer server(wholeFile(source));
    return fetch(QUrl(QStringLiteral("http://127.0.0.1:%1/video.mp4").arg(server.port())));
}
