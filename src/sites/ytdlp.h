#pragma once

#include "core/browser.h"
#include "core/cancel_token.h"
#include "core/failure.h"
#include "core/platform.h"
#include "osutils/osutils.h"

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

// Downloads the item's video to the Desktop and returns the saved file's path. Updates the
// item's title, thumbnail and phase on the main thread as yt-dlp reports them. yt-dlp writes
// only into the working folder; its file is checked (not empty, an MP4 whole) and then placed
// on the Desktop under its name or a free numbered one, never replacing anything. Throws a
// Failure on every unsuccessful outcome, Failure::cancelled() once `cancel` has been cancelled
// before the file is on the Desktop (cancelling also terminates yt-dlp's whole process group).
// `browser`: whose cookies yt-dlp should read.
QCoro::Task<QString> download(DownloadItem* item, std::optional<Browser> browser,
                              std::shared_ptr<CancelToken> cancel);

// yt-dlp's command line for one attempt, in its fixed order. Its final files go to "out" in the
// working folder.
QStringList arguments(const QUrl& url, const QString& ffmpegPath, const QString& workingFolder,
                      std::optional<Browser> browser);

// One "@@PROG " line per progress update: downloaded|total|estimate|speed|vcodec.
QString progressTemplate();

// The working folder of an item's attempt: "quorvin-dl-" + its id, in the temporary folder.
QString workingFolder(const DownloadItem& item);

// What the row shows for yt-dlp's error output (its standard error).
Failure failure(const QString& text, Platform platform, std::optional<Browser> browser,
                const OsUtils::BrowserSupport& browsers = OsUtils::browserSupport());

// The watchdog looks every 5 s; tests that shorten the stall limit look more often.
std::chrono::milliseconds watchdogTick();
void setWatchdogTickForTesting(std::optional<std::chrono::milliseconds> tick);

}  // namespace YtDlp
