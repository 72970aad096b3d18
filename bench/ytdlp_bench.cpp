// The cost of Quorvin around yt-dlp: a 300 MB MP4 served on 127.0.0.1, downloaded through
// YtDlp::download and by the same yt-dlp command line run directly, alternately, in one run.
// Reports each wall time and their ratio (target at most 1.05).

#include "common/http_test_server.h"
#include "common/private_home.h"
#include "core/download_item.h"
#include "sites/tools.h"
#include "sites/ytdlp.h"
#include "support/app_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <qcoro/qcorotask.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRounds = 7;

QString mediaFile() {
    // Kept between runs: making it costs a few seconds of encoding.
    const QString folder = QDir::tempPath() + QStringLiteral("/quorvin-bench-media");
    const QString file = folder + QStringLiteral("/big.mp4");
    if (QFileInfo(file).size() > 250 * 1000 * 1000) return file;
    QDir().mkpath(folder);
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("/usr/bin/ffmpeg"),
                 {"-v",
                  "error",
                  "-y",
                  "-f",
                  "lavfi",
                  "-i",
                  "testsrc2=size=1280x720:rate=30,noise=alls=60:allf=t+u",
                  "-f",
                  "lavfi",
                  "-i",
                  "sine",
                  "-t",
                  "7.2",
                  "-c:v",
                  "libx264",
                  "-preset",
                  "ultrafast",
                  "-qp",
                  "0",
                  "-pix_fmt",
                  "yuv420p",
                  "-c:a",
                  "aac",
                  "-movflags",
                  "+faststart",
                  file});
    ffmpeg.waitForFinished(-1);
    return file;
}

QCoro::Task<QString> throughQuorvin(const QUrl& url) {
    DownloadItem item(url, Platform::other);
    co_return co_await YtDlp::download(&item, std::nullopt, CancelToken::make(), YtDlp::Settings{});
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    // A private home, so the files land on a Desktop of our own.
    QTemporaryDir home;
    TestSupport::usePrivateHome(home.path());
    QCoreApplication app(argc, argv);

    const Tools::Settings tools;
    const std::optional<QString> ytdlp = Tools::ytdlp(tools);
    const std::optional<QString> ffmpeg = Tools::ffmpeg(tools);
    if (!ytdlp || !ffmpeg) {
        std::printf("ytdlp_bench: yt-dlp or ffmpeg missing, skipped\n");
        return 0;
    }
    const QString media = mediaFile();
    const qint64 size = QFileInfo(media).size();

    // The tests' loopback server, serving the media folder.
    HttpTestServer server(HttpTestServer::folder(QFileInfo(media).path()));
    const QUrl url = server.url(QStringLiteral("/big.mp4"));

    std::vector<double> quorvin;
    std::vector<double> direct;
    for (int round = 0; round < kRounds; ++round) {
        {
            const QString work = home.path() + QStringLiteral("/direct-work");
            QDir().mkpath(work);
            QProcess process;
            process.setProcessEnvironment(Tools::environment(tools));
            process.setWorkingDirectory(AppPaths::temporary());
            process.setStandardInputFile(QProcess::nullDevice());
            process.setStandardOutputFile(QProcess::nullDevice());
            process.setStandardErrorFile(QProcess::nullDevice());
            QElapsedTimer timer;
            timer.start();
            process.start(*ytdlp, YtDlp::arguments(url, *ffmpeg, work, std::nullopt));
            process.waitForFinished(-1);
            direct.push_back(double(timer.elapsed()) / 1000.0);
            QDir(work).removeRecursively();
            QDir(AppPaths::desktop()).removeRecursively();
        }
        {
            QElapsedTimer timer;
            timer.start();
            const QString file = QCoro::waitFor(throughQuorvin(url));
            quorvin.push_back(double(timer.elapsed()) / 1000.0);
            if (QFileInfo(file).size() != size) {
                std::printf("ytdlp_bench: saved file has the wrong size\n");
                return 1;
            }
            QDir(AppPaths::desktop()).removeRecursively();
        }
    }

    const double q = median(quorvin);
    const double d = median(direct);
    std::printf("%.0f MB MP4 over 127.0.0.1, median of %d alternating rounds:\n",
                double(size) / 1048576.0, kRounds);
    std::printf("  yt-dlp run directly       %.3f s\n", d);
    std::printf("  through YtDlp::download   %.3f s\n", q);
    for (int i = 0; i < kRounds; ++i) {
        std::printf("  round %d: direct %.3f s, through Quorvin %.3f s\n", i + 1, direct[i],
                    quorvin[i]);
    }
    std::printf("  wall-time ratio           %.3f (target <= 1.05)\n", q / d);
    return 0;
}
