#pragma once

#include <QString>

// When Quorvin cannot start at all, the user learns why instead of seeing nothing: on standard
// error, in the log and, since the app has a display, in a dialog. Returns the exit status.
int refuseToStart(const QString& reason);
