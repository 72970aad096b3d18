#pragma once

#include <QString>

#include <optional>

namespace OsUtils {

// The executable file a live process runs, as the system reports it (up to 4 KiB); nullopt when
// there is no such process or its path cannot be read.
std::optional<QString> executableOf(qint32 pid);

}  // namespace OsUtils
