#include "sites/ytdlp.h"

#include "core/download_item.h"
#include "sites/output_reader.h"
#include "sites/runner.h"
#include "sites/stall_monitor.h"
#include "sites/tools.h"
#include "support/app_paths.h"
#include "support/log.h"
#include "support/names.h"
#include "support/temp_files.h"

#include <QDir>
#include <QPointer>
#include <QTimer>
#include <QUuid>

#include <atomic>

namespace {

std::atomic<qint64>& tickOverride() {
    static std::atomic<qint64> milliseconds{0};
    return milliseconds;
}

// Removes the working folder however the attempt ends (return, failure, cancellation).
class FolderRemover {
public:
    explicit FolderRemover(QString path) : m_path(std::move(path)) {}
    ~FolderRemover() { QDir(m_path).removeRecursively(); }
    FolderRemover(const FolderRemover&) = delete;
    FolderRemover& operator=(const FolderRemover&) = delete;

private:
    QString m_path;
};

QString lastLines(const QString& text, int count) {
    QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.size() > count) lines = lines.mid(lines.size() - count);
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

namespace YtDlp {

// clang-format off
QString progressTemplate() {
    return QStringLiteral(
        "download:@@PROG %(progress.downloaded_bytes)s|%(progress.total_bytes)s|%(progress.total_bytes_estimate)s|%(progress.speed)s|%(info.vcodec)s");
}
// clang-format on

QStringList arguments(const QUrl& url, const QString& ffmpegPath, const QString& workingFolder,
                      std::optional<Browser> browser) {
    QStringList args = {url.toString(QUrl::FullyEncoded),
                        QStringLiteral("--no-playlist"),
                        QStringLiteral("--newline"),
                        QStringLiteral("--no-colors"),
                        QStringLiteral("--no-mtime"),
                        QStringLiteral("--progress"),
                        QStringLiteral("--socket-timeout"),
                        QStringLiteral("60"),
                        QStringLiteral("--retries"),
                        QStringLiteral("3"),
                        QStringLiteral("-S"),
                        QStringLiteral("vcodec:h264,res,acodec:m4a"),
                        QStringLiteral("--merge-output-format"),
                        QStringLiteral("mp4"),
                        QStringLiteral("--ffmpeg-location"),
                        ffmpegPath,
                        QStringLiteral("-P"),
                        QStringLiteral("home:") + AppPaths::desktop(),
                        QStringLiteral("-P"),
                        QStringLiteral("temp:") + workingFolder,
                        QStringLiteral("-o"),
                        QStringLiteral("%(title).180B.%(ext)s"),
                        QStringLiteral("--print"),
                        QStringLiteral("before_dl:@@TITLE %(title)s"),
                        QStringLiteral("--print"),
                        QStringLiteral("before_dl:@@THUMB %(thumbnail)s"),
                        QStringLiteral("--print"),
                        QStringLiteral("after_move:@@FILE %(filepath)s"),
                        QStringLiteral("--no-quiet"),
                        QStringLiteral("--progress-template"),
                        progressTemplate()};
    if (browser) args << QStringLiteral("--cookies-from-browser") << browser->rawValue();
    return args;
}

QString workingFolder(const DownloadItem& item) {
    return AppPaths::temporary() + u'/' + Names::workFolderPrefix() +
           item.id().toString(QUuid::WithoutBraces).toUpper();
}

std::chrono::milliseconds watchdogTick() {
    const qint64 ms = tickOverride().load();
    return ms > 0 ? std::chrono::milliseconds(ms) : std::chrono::milliseconds(5000);
}

void setWatchdogTickForTesting(std::optional<std::chrono::milliseconds> tick) {
    tickOverride().store(tick ? tick->count() : 0);
}

QCoro::Task<QString> download(DownloadItem* item, std::optional<Browser> browser,
                              std::shared_ptr<CancelToken> cancel) {
    const QPointer<DownloadItem> guarded(item);
    const Platform platform = item->platform();
    const QUrl url = item->url();

    const std::optional<QString> ytdlpPath = Tools::ytdlp();
    const std::optional<QString> ffmpegPath = Tools::ffmpeg();
    if (!ytdlpPath || !ffmpegPath) {
        // The advice stays one literal.
        // clang-format off
        throw Failure{QStringLiteral("缺少下载组件"),
                      QStringLiteral("除视频号以外的网站需要开源工具 yt-dlp 和 ffmpeg。\n打开「终端」，粘贴运行下面这行命令（已为你复制），装好后点「重试」：\n") +
                          Tools::installCommand(),
                      {Failure::Action::copyInstallCommand, Failure::Action::retry}};
        // clang-format on
    }

    const QString folder = workingFolder(*item);
    QDir().mkpath(folder);
    const FolderRemover remover(folder);
    // Leased while this run uses it, so the start-up clean-up of another Quorvin process leaves
    // it alone; released just before the remover deletes it.
    const TempFiles::Lease lease(folder);

    Runner runner(*ytdlpPath, arguments(url, *ffmpegPath, folder, browser));
    StallMonitor monitor(platform);
    OutputReader reader(item, monitor);

    // The watchdog: a timer on this thread, stopped with this frame whichever way it ends.
    QTimer watchdog;
    watchdog.setInterval(watchdogTick());
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        if (!guarded || !guarded->isActive()) {
            watchdog.stop();
            return;
        }
        if (!monitor.postProcessing() && monitor.silentSeconds() >= StallMonitor::limitInEffect()) {
            monitor.setStalled();
            runner.terminate();
            watchdog.stop();
            return;
        }
        if (!monitor.gotTitle()) guarded->setPhase(Phase::makeWorking(monitor.statusText()));
    });
    watchdog.start();

    // Cancelling terminates yt-dlp's whole group at once, from whichever thread cancels. The
    // stopper holds the group handle, not the runner, so a late call is harmless.
    const std::shared_ptr<ProcessGroup> group = runner.group();
    const CancelScope scope(cancel, [group] { group->terminate(); });

    const Runner::Result result =
        co_await runner.run([&reader](const QString& line) { reader.handle(line); });
    watchdog.stop();

    if (cancel && cancel->isCancelled()) throw Failure::cancelled();
    if (monitor.stalled()) {
        Log::write(QStringLiteral("yt-dlp ") +
                   QString::number(StallMonitor::limitInEffect(), 'f', 1) +
                   QStringLiteral(" 秒没有新数据，已停止（卡在：") + monitor.stage() +
                   QStringLiteral("）"));
        throw monitor.failure();
    }
    if (result.status == 0) {
        for (auto it = result.lines.crbegin(); it != result.lines.crend(); ++it) {
            if (it->startsWith(QLatin1String("@@FILE "))) co_return it->mid(7);
        }
    }
    Log::write(QStringLiteral("yt-dlp 失败（退出码 ") + QString::number(result.status) +
               QStringLiteral("）：") + lastLines(result.errorText, 12));
    throw failure(result.errorText, platform, browser);
}

}  // namespace YtDlp
