#include "osutils/processes.h"

#include <QFile>

#include <libproc.h>

namespace OsUtils {

std::optional<QString> executableOf(qint32 pid) {
    // The process-path query; its buffer size is the system's own limit (4 KiB).
    char buffer[PROC_PIDPATHINFO_MAXSIZE];
    const int n = ::proc_pidpath(pid, buffer, sizeof buffer);
    if (n <= 0) return std::nullopt;
    return QFile::decodeName(QByteArray(buffer, n));
}

}  // namespace OsUtils
