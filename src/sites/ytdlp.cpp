#include "sites/ytdlp.h"

#include "core/background.h"
#include "core/download_item.h"
#include "sites/media_title.h"
#include "sites/output_reader.h"
#include "sites/runner.h"
#include "sites/stall_monitor.h"
#include "sites/tools.h"
#include "support/app_paths.h"
#include "support/file_placement.h"
#include "support/log.h"
#include "support/mp4_structure.h"
#include "support/names.h"
#include "support/safe_text.h"
#include "support/temp_files.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>
#include <QUuid>

namespace {

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

// Where yt-dlp puts its finished file: inside the working folder, never on the Desktop, so a
// partial file never carries a final name there and a user's file of the same name is never
// skipped over and reported as ours.
QString outputFolder(const QString& workingFolder) {
    return workingFolder + QStringLiteral("/out");
}

// Containers of the ISO base media family, whose box structure tells a whole file.
bool isIsoBmff(const QString& path) {
    static const QStringList suffixes = {QStringLiteral("mp4"), QStringLiteral("m4a"),
                                         QStringLiteral("m4v"), QStringLiteral("mov"),
                                         QStringLiteral("3gp")};
    return suffixes.contains(QFileInfo(path).suffix().toLower()) || Mp4::startsWithFtyp(path);
}

Failure incompleteFile(const QString& what) {
    return Failure{QStringLiteral("下载的视频不完整"),
                   QStringLiteral("yt-dlp 报告下载完成，但得到的文件不能用（") + what +
                       QStringLiteral("）。请点「重试」。"),
                   {Failure::Action::retry}};
}

// The file yt-dlp named, checked before anything is called saved: it must be a regular file in
// the output folder (a name from the tool's output is not trusted to point elsewhere), not
// empty, and an MP4 must be whole. Throws the failure otherwise.
void checkResult(const QString& path, const QString& folder) {
    const QFileInfo info(path);
    // Empty when the folder does not exist: then nothing can be inside it.
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    if (canonicalFolder.isEmpty() || !info.isFile() || info.isSymLink() ||
        !info.canonicalFilePath().startsWith(canonicalFolder + QLatin1Char('/'))) {
        Log::write(QStringLiteral("yt-dlp 报告的文件不存在：") + path);
        throw incompleteFile(QStringLiteral("找不到文件"));
    }
    if (info.size() == 0) {
        Log::write(QStringLiteral("yt-dlp 的文件是空的：") + info.fileName());
        throw incompleteFile(QStringLiteral("文件是空的"));
    }
    if (isIsoBmff(path)) {
        const Mp4::Structure structure = Mp4::check(path);
        if (structure != Mp4::Structure::whole) {
            Log::write(QStringLiteral("yt-dlp 的视频不完整（") + Mp4::describe(structure) +
                       QStringLiteral("）：") + info.fileName());
            throw incompleteFile(Mp4::describe(structure));
        }
    }
}

// The Desktop name of yt-dlp's file: its own name, but never a hidden one (a title that starts
// with a dot), never empty, and without the control and bidirectional formatting characters
// that yt-dlp keeps from the page's title. A stream manifest's stock name gives way to the link.
QString desktopName(const QString& path, const QUrl& link) {
    const QFileInfo info(path);
    const QString suffix = SafeText::forFileName(info.suffix()).trimmed();
    QString stem =
        SafeText::forFileName(suffix.isEmpty() ? info.fileName() : info.completeBaseName())
            .trimmed();
    if (MediaTitle::isPlaceholder(stem)) stem = SafeText::forFileName(MediaTitle::fromLink(link));
    qsizetype start = 0;
    while (start < stem.size() && (stem[start] == u'.' || stem[start].isSpace())) ++start;
    stem = stem.mid(start);
    if (stem.isEmpty()) stem = QStringLiteral("视频");
    return suffix.isEmpty() ? stem : stem + QLatin1Char('.') + suffix;
}

// Moves the checked file onto the Desktop under a free name. Blocks (a copy across file
// systems); runs off the main thread. Throws Failure; cancelled when `cancel` fires before the
// file is in place.
QString placeOnDesktop(const QString& path, const QUrl& link,
                       const std::shared_ptr<CancelToken>& cancel) {
    const QString desktop = AppPaths::desktop();
    // A Linux account may have no Desktop folder yet; the user still expects the file there.
    if (!QFileInfo::exists(desktop)) QDir().mkpath(desktop);
    const QString name = desktopName(path, link);
    const QString suffix = QFileInfo(name).suffix();
    try {
        return FilePlacement::place(path, desktop, name,
                                    suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix,
                                    [cancel] { return cancel && cancel->isCancelled(); });
    } catch (const FilePlacement::Error& error) {
        if (error.cancelled()) throw Failure::cancelled();
        Log::write(QStringLiteral("视频无法放到桌面（") + error.reason() + QStringLiteral("）：") +
                   name);
        throw Failure{
            QStringLiteral("视频保存失败"),
            QStringLiteral("无法把视频写到桌面（") + error.reason() +
                QStringLiteral("）。\n请确认桌面文件夹可以写入、磁盘还有空间，然后点「重试」。"),
            {Failure::Action::retry}};
    }
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
                        QStringLiteral("home:") + outputFolder(workingFolder),
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
    if (browser) args << QStringLiteral("--cookies-from-browser") << browser->cookieSource();
    return args;
}

QString workingFolder(const DownloadItem& item) {
    return AppPaths::temporary() + u'/' + Names::workFolderPrefix() +
           item.id().toString(QUuid::WithoutBraces).toUpper();
}

QCoro::Task<QString> download(DownloadItem* item, std::optional<Browser> browser,
                              std::shared_ptr<CancelToken> cancel, Settings settings,
                              QString keptFolder) {
    const QPointer<DownloadItem> guarded(item);
    const Platform platform = item->platform();
    const QUrl url = item->url();

    const std::optional<QString> ytdlpPath = Tools::ytdlp(settings.tools);
    const std::optional<QString> ffmpegPath = Tools::ffmpeg(settings.tools);
    if (!ytdlpPath || !ffmpegPath) {
        // The advice stays one literal.
        // clang-format off
        throw Failure{QStringLiteral("缺少下载组件"),
                      QStringLiteral("除视频号以外的网站需要开源工具 yt-dlp 和 ffmpeg。\n打开「终端」，粘贴运行下面这行命令（已为你复制），装好后点「重试」：\n") +
                          Tools::installCommand(settings.tools),
                      {Failure::Action::copyInstallCommand, Failure::Action::retry}};
        // clang-format on
    }

    const bool temporary = keptFolder.isEmpty();
    const QString folder = temporary ? workingFolder(*item) : keptFolder;
    std::optional<FolderRemover> remover;
    std::optional<TempFiles::Lease> lease;
    if (temporary) {
        // Whatever an earlier attempt of this item left (it may have been killed) is not this
        // run's.
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        remover.emplace(folder);
        // Leased while this run uses it, so the start-up clean-up of another Quorvin process
        // leaves it alone; released just before the remover deletes it.
        lease.emplace(folder);
    }

    Runner runner(*ytdlpPath, arguments(url, *ffmpegPath, folder, browser),
                  Tools::environment(settings.tools));
    // Should Quorvin end before this run does, a temporary folder goes with the tool's group.
    if (temporary) runner.group()->removeWhenEnded(folder);
    StallMonitor monitor(platform, StallMonitor::Clock::now(), settings.stallLimit);
    OutputReader reader(item, monitor);

    // The watchdog: a timer on this thread, stopped with this frame whichever way it ends.
    QTimer watchdog;
    watchdog.setInterval(settings.watchdogTick);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        if (!guarded || !guarded->isActive()) {
            watchdog.stop();
            return;
        }
        if (!monitor.postProcessing() && monitor.silentSeconds() >= monitor.stallLimit()) {
            monitor.setStalled();
            runner.terminate();
            watchdog.stop();
            return;
        }
        if (!monitor.gotTitle()) {
            guarded->setPhase(Phase::makeWorking(monitor.statusText()));
        } else {
            reader.refreshProgress();
        }
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
        Log::write(QStringLiteral("yt-dlp ") + QString::number(monitor.stallLimit(), 'f', 1) +
                   QStringLiteral(" 秒没有新数据，已停止（卡在：") + monitor.stage() +
                   QStringLiteral("）"));
        throw monitor.failure();
    }
    if (result.status == 0) {
        for (auto it = result.lines.crbegin(); it != result.lines.crend(); ++it) {
            if (!it->startsWith(QLatin1String("@@FILE "))) continue;
            const QString file = it->mid(7);
            checkResult(file, outputFolder(folder));
            const auto place = [file, url, cancel] { return placeOnDesktop(file, url, cancel); };
            const QString saved = co_await offMainThread(place);
            co_return saved;
        }
    }
    Log::write(QStringLiteral("yt-dlp 失败（退出码 ") + QString::number(result.status) +
               QStringLiteral("）：") + lastLines(result.errorText, 12));
    throw failure(result.errorText, platform, browser, settings.tools, OsUtils::browserSupport(),
                  url.host());
}

}  // namespace YtDlp
