#pragma once

#include <QString>

// The folders and files Quorvin reads and writes. Each is computed once, on first use.
// On Linux: support lives under $XDG_DATA_HOME, logs under $XDG_STATE_HOME, and the Desktop is
// the XDG desktop folder (~/桌面 on a Chinese desktop), so a saved video lands where the user
// sees it. The previous edition's folders stay where that edition wrote them.
namespace AppPaths {

QString home();
QString support();
QString logs();
QString oldSupport();
QString oldLogs();
QString desktop();
QString appLog();

// Creates support, then logs, owner-only (0700). Best effort: errors are swallowed and an
// existing folder keeps its permissions.
void ensureDirectories();

// The temporary folder for downloads in progress.
QString temporary();

}  // namespace AppPaths
