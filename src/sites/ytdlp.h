#pragma once

#include "core/browser.h"
#include "core/cancel_token.h"
#include "core/failure.h"
#include "core/platform.h"
#include "osutils/osutils.h"
#include "sites/stall_monitor.h"
#include "sites/tools.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <memory>
#include <optional>

class DownloadItem;

// The site downloader: every platform except Channels goes through yt-dlp.
namespace YtDlp {

// What a download is run with. The defaults are the program's; tests find their own tools and
// give up on a silent tool sooner.
struct Settings {
    Tools::Settings tools;
    // Seconds of silence (outside post-processing) after which yt-dlp is stopped.
    double stallLimit = StallMonitor::limit;
    // How often the watchdog looks at the silence and the stage.
    std::chrono::milliseconds watchdogTick{5000};
};

// Downloads the item's video to the Desktop and returns the saved file's path. Updates the
// item's title, thumbnail and phase on the main thread as yt-dlp reports them. yt-dlp writes
// only into the working folder; its file is checked (not empty, an MP4 whole) and then placed
// on the Desktop under its name or a free numbered one, never replacing anything. Throws a
// Failure on every unsuccessful outcome, Failure::cancelled() once `cancel` has been cancelled
// before the file is on the Desktop (cancelling also terminates yt-dlp's whole process group).
// `browser`: whose cookies yt-dlp should read.
//
// `keptFolder`, when given (the item's partial data, leased by the caller), is the working
// folder instead of a temporary one, and it is left as it is whatever the outcome: yt-dlp
// continues the ".part" files an earlier attempt left there (it continues by default), and the
// caller keeps the folder (an interrupt) or discards it.
QCoro::Task<QString> download(DownloadItem* item, std::optional<Browser> browser,
                              std::shared_ptr<CancelToken> cancel, Settings settings,
                              QString keptFolder = QString());

// yt-dlp's command line for one attempt, in its fixed order. Its final files go to "out" in the
// working folder.
QStringList arguments(const QUrl& url, const QString& ffmpegPath, const QString& workingFolder,
                      std::optional<Browser> browser);

// One "@@PROG " line per progress update: downloaded|total|estimate|speed|vcodec.
QString progressTemplate();

// The working folder of an item's attempt: "quorvin-dl-" + its id, in the temporary folder.
QString workingFolder(const DownloadItem& item);

// What the row shows for yt-dlp's error output (its standard error). `tools` says which
// install command the advice names; `host`, the link's, names a site that is not one of the
// platforms.
Failure failure(const QString& text, Platform platform, std::optional<Browser> browser,
                const Tools::Settings& tools,
                const OsUtils::BrowserSupport& browsers = OsUtils::browserSupport(),
                const QString& host = QString());

}  // namespace YtDlp
