#pragma once

#include "net/http_response.h"

#include <QString>

namespace Channels {

// Judges a finished transfer and moves its file onto the Desktop as `name`, or "<name without
// extension> (2).mp4", (3)… when that name is taken. Never replaces anything on the Desktop,
// even when another save picks the same name at the same moment: the file is put in place with
// a rename (or hard link) that fails when the name exists. When the temporary folder is on
// another file system, the file is copied beside its destination, flushed, then renamed into
// place, so the Desktop never shows a partial file. The temporary file is gone afterwards,
// whatever the outcome. Returns the saved path; throws Problem: linkExpired (403, 404, 410),
// network (other status than 200), encrypted ("X-encflag" not "0"), apiChanged (no MP4
// signature), disk (the file cannot be put on the Desktop). Any thread.
QString save(const QString& temporaryFile, const HttpResponse& response, const QString& name);

}  // namespace Channels
