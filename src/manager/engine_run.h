#pragma once

#include "core/browser.h"
#include "core/cancel_token.h"
#include "sites/ytdlp.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <qcoro/qcorotask.h>

#include <memory>
#include <optional>

class DownloadItem;

// How one attempt of an item runs.
struct EngineRun {
    std::optional<Browser> browser;  // whose cookies yt-dlp reads, as chosen when it starts
    YtDlp::Settings settings;
    // Where items keep their partial data (PartialStore::root()); empty where nothing outlives
    // the program (quorvin-cli): then the engines work in the temporary folder.
    QString partialRoot;
    // Continue from what an earlier attempt kept instead of starting from zero.
    bool continuing = false;
};

// Runs the item's engine once and returns the saved file. With a partial-data root the engine
// works in the item's own leased folder there, so whatever way the program ends the data is
// found again by the item's id. The folder goes once the file is saved, the download failed or
// the user cancelled; an interrupt (Quorvin quitting) keeps it for "继续下载". Throws what the
// engine threw.
QCoro::Task<QString> runEngine(DownloadItem* item, std::shared_ptr<CancelToken> token,
                               EngineRun how);

// Deletes, off the main thread, the data kept below `root` (nothing when empty) for these items:
// rows the user removed. Data that a running attempt leases is that attempt's to delete.
void discardKeptData(const QString& root, const QList<QUuid>& ids);
