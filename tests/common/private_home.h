#pragma once

#include <QString>

namespace TestSupport {

// Points HOME, the XDG folders and TMPDIR into `root` (the XDG folders where they are by
// default), so a test's or a benchmark's Desktop, log, settings and cookie jar are its own and
// never the user's. The user's home stays readable as QUORVIN_REAL_HOME.
void usePrivateHome(const QString& root);

}  // namespace TestSupport
