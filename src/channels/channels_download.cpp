#include "channels/channels_download.h"

#include "channels/file_download.h"
#include "channels/save.h"
#include "channels/video_info.h"
#include "channels/yuanbao.h"
#include "core/background.h"
#include "core/download_item.h"
#include "core/failure.h"
#include "core/speed_meter.h"
#include "support/log.h"
#include "support/partial_data.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>

namespace Channels {

namespace {

const QString kEngine = QStringLiteral("channels");

QString keptFile(const PartialData& kept) {
    return kept.folder() + QStringLiteral("/video.mp4");
}

// Where the transfer writes in the item's kept folder, and from where it asks: the kept part of
// an earlier attempt is continued only when that attempt noted which file it came from.
FileDownload::Continuation continuation(PartialData* kept, const QUrl& url) {
    FileDownload::Continuation into;
    into.file = keptFile(*kept);
    const QFileInfo info(into.file);
    if (const auto meta = kept->meta(); meta && meta->engine == kEngine && info.isFile() &&
                                        info.size() > 0 && meta->total > info.size()) {
        into.offset = info.size();
        into.kept = {meta->total, meta->etag, meta->lastModified};
        Log::write(QStringLiteral("视频号继续下载：从 ") + QString::number(into.offset) +
                   QStringLiteral(" 字节处接着下载"));
    }
    into.onStart = [kept, link = url.toString()](const FileDownload::Validators& seen) {
        kept->setMeta({kEngine, link, -1, seen.total, seen.etag, seen.lastModified});
    };
    return into;
}

// Notes how much a stopped transfer kept, beside what identifies its file.
void noteKept(const PartialData& kept) {
    std::optional<PartialData::Meta> meta = kept.meta();
    if (!meta) return;
    meta->kept = QFileInfo(keptFile(kept)).size();
    kept.setMeta(*meta);
}

}  // namespace

QCoro::Task<QString> download(DownloadItem* item, std::shared_ptr<CancelToken> cancel,
                              PartialData* kept) {
    const QPointer<DownloadItem> guarded(item);
    // Arguments of the awaited calls are named first (see offMainThread about g++ 12).
    const QString shareURL = item->linkText();
    const Yuanbao::ParseResult parsed = co_await Yuanbao::parse(shareURL, cancel);
    cancel->throwIfCancelled();
    if (guarded) guarded->setPhase(Phase::makeWorking(QStringLiteral("正在获取视频信息…")));

    const ChannelsVideo video = co_await videoInfo(parsed.token, parsed.exportId, cancel);
    cancel->throwIfCancelled();
    const QString name = video.suggestedFilename();
    if (guarded) {
        guarded->setTitle(name.chopped(QStringLiteral(".mp4").size()));
        guarded->setThumbnail(video.coverURL);
        guarded->setPhase(Phase::makeDownloading(std::nullopt, QStringLiteral("开始下载…")));
    }

    auto meter = std::make_shared<SpeedMeter>();
    // Progress arrives on the main thread; a report after the item has ended is dropped.
    FileDownload transfer([guarded, meter](qint64 written, qint64 total) {
        if (!guarded || !guarded->isActive()) return;
        const std::optional<double> fraction =
            total >= 1 ? std::optional<double>(double(written) / double(total)) : std::nullopt;
        guarded->setPhase(Phase::makeDownloading(fraction, meter->text(written, total)));
    });
    const QUrl videoURL = video.videoURL;
    FileDownload::Result fetched;
    try {
        if (kept) {
            const FileDownload::Continuation into = continuation(kept, videoURL);
            fetched = co_await transfer.run(videoURL, cancel, into);
        } else {
            fetched = co_await transfer.run(videoURL, cancel);
        }
    } catch (...) {
        if (kept) noteKept(*kept);
        throw;
    }
    if (cancel->isCancelled()) {
        if (!kept) QFile::remove(fetched.file);  // nobody will save it now
        throw Failure::cancelled();
    }
    // A move across file systems copies the whole file: never on the main thread. A cancel
    // during the copy stops it and leaves nothing; once the file is in place it is saved.
    const auto place = [fetched, name, cancel] {
        return save(fetched.file, fetched.response, name,
                    [cancel] { return cancel->isCancelled(); });
    };
    const QString saved = co_await offMainThread(place);
    co_return saved;
}

}  // namespace Channels
