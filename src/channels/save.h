#pragma once

#include "net/http_response.h"

#include <QString>

#include <functional>

namespace Channels {

// Judges a finished transfer and moves its file onto the Desktop as `name`, or "<name without
// extension> (2).mp4", (3)… when that name is taken, never replacing anything and never showing
// a partial file under a final name (see FilePlacement). The temporary file is gone afterwards,
// whatever the outcome. `stopRequested` (a cancel) is honoured until the file is in place: a
// save that was stopped leaves nothing and throws cancelled; a file in place stays saved.
// Returns the saved path; throws Problem: linkExpired (403, 404, 410), network (other status
// than 200, or an MP4 whose top-level boxes show it cut short or without its "moov" index),
// encrypted ("X-encflag" not "0"), apiChanged (no MP4 signature), disk (the file cannot be put
// on the Desktop), cancelled. Any thread.
QString save(const QString& temporaryFile, const HttpResponse& response, const QString& name,
             const std::function<bool()>& stopRequested = {});

}  // namespace Channels
