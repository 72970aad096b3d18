#pragma once

#include "core/cancel_token.h"

#include <QString>

#include <qcoro/qcorotask.h>

#include <memory>

class DownloadItem;
class PartialData;

namespace Channels {

// Downloads a Channels item's video to the Desktop and returns the saved file's path: the
// Yuanbao parse service turns the share link into a feed token, the feed info gives the video's
// name, cover and address, the file is fetched into a temporary file and saved into place.
// Updates the item's title, thumbnail and phase on the main thread as it learns them. Throws a
// Failure or a Problem on every unsuccessful outcome, Failure::cancelled() once `cancel` has
// been cancelled before the file is on the Desktop.
//
// With `kept` (the item's partial data, leased by the caller) the video is fetched into that
// folder instead of a temporary file, and a part kept there by an earlier attempt is continued
// from its length when the server still has the same file. A stopped or failed transfer leaves
// the folder as it got: the caller keeps it (an interrupt) or discards it.
QCoro::Task<QString> download(DownloadItem* item, std::shared_ptr<CancelToken> cancel,
                              PartialData* kept = nullptr);

}  // namespace Channels
