#pragma once

#include "core/cancel_token.h"

#include <QString>

#include <qcoro/qcorotask.h>

#include <memory>

class DownloadItem;

namespace Channels {

// Downloads a Channels item's video to the Desktop and returns the saved file's path: the
// Yuanbao parse service turns the share link into a feed token, the feed info gives the video's
// name, cover and address, the file is fetched into a temporary file and saved into place.
// Updates the item's title, thumbnail and phase on the main thread as it learns them. Throws a
// Failure or a Problem on every unsuccessful outcome, Failure::cancelled() once `cancel` has
// been cancelled before the file is on the Desktop.
QCoro::Task<QString> download(DownloadItem* item, std::shared_ptr<CancelToken> cancel);

}  // namespace Channels
