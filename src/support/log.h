#pragma once

#include <QString>

// The one log file: one line per event, "[yyyy-MM-dd HH:mm:ss] [pid N] message". No levels.
namespace Log {

// Appends one line and returns once it is on disk (or the attempt failed). Safe from any
// thread; lines never interleave. The file is started afresh once it exceeds 1,000,000 bytes.
// A link's "user:password@" never reaches the file: it is removed from every message.
void write(const QString& message);

// The exact line write() appends for a message at this moment, newline included.
QString formatLine(const QString& message);

}  // namespace Log
