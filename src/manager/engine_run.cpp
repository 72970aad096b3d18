#include "manager/engine_run.h"

#include "channels/channels_download.h"
#include "core/download_item.h"
#include "support/log.h"
#include "support/partial_data.h"

#include <QFileInfo>
#include <QThreadPool>

namespace {

std::unique_ptr<PartialData> takeKeptData(const DownloadItem& item, const EngineRun& how) {
    if (how.partialRoot.isEmpty()) return nullptr;
    std::unique_ptr<PartialData> kept =
        PartialData::take(how.partialRoot, item.id(), how.continuing);
    // Another copy of Quorvin holds this item's data (or the folder cannot be made): this
    // attempt works in the temporary folder and keeps nothing, rather than share it.
    if (!kept)
        Log::write(QStringLiteral("无法使用保留的下载数据，这次下载不保留进度：") +
                   item.linkText());
    return kept;
}

}  // namespace

QCoro::Task<QString> runEngine(DownloadItem* item, std::shared_ptr<CancelToken> token,
                               EngineRun how) {
    const std::unique_ptr<PartialData> kept = takeKeptData(*item, how);
    const QString link = item->linkText();
    try {
        QString file;
        if (item->platform() != Platform::channels) {
            // yt-dlp's own ".part" files are the kept data; the note says whose they are.
            if (kept) kept->setMeta({QStringLiteral("ytdlp"), link});
            const QString folder = kept ? kept->folder() : QString();
            file = co_await YtDlp::download(item, how.browser, token, how.settings, folder);
        } else {
            file = co_await Channels::download(item, token, kept.get());
        }
        if (kept) kept->discard();
        co_return file;
    } catch (...) {
        if (kept && token->isInterrupted()) {
            Log::write(QStringLiteral("已中断，已下载的部分保留在：") + kept->folder());
        } else if (kept) {
            kept->discard();
        }
        throw;
    }
}

void discardKeptData(const QString& root, const QList<QUuid>& ids) {
    if (root.isEmpty() || ids.isEmpty()) return;
    QThreadPool::globalInstance()->start([root, ids] {
        for (const QUuid& id : ids) {
            if (!QFileInfo::exists(root + u'/' + id.toString(QUuid::WithoutBraces))) continue;
            if (const auto kept = PartialData::take(root, id, true)) kept->discard();
        }
    });
}
