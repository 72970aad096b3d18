#include "osutils/processes.h"

#include <QFile>

#include <unistd.h>

namespace OsUtils {

std::optional<QString> executableOf(qint32 pid) {
    // The kernel keeps the path as the link /proc/PID/exe; it truncates nothing below 4 KiB.
    char buffer[4096];
    const QByteArray link = "/proc/" + QByteArray::number(pid) + "/exe";
    const ssize_t n = ::readlink(link.constData(), buffer, sizeof buffer);
    if (n <= 0 || n >= ssize_t(sizeof buffer)) return std::nullopt;
    return QFile::decodeName(QByteArray(buffer, n));
}

}  // namespace OsUtils
