#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace TestSupport {

// Starts Xvfb (`server` carries the environment; `arguments` the screen and listen options) on
// a display number of its own and returns that number once the server takes clients, or an
// empty string when no server came up.
//
// Why not let the server pick the lowest free number (-displayfd alone): tests run side by
// side, and a new server can take the number of one that is still shutting down. The old one
// then unlinks the new one's socket on its way out, and every client of the new display fails
// with "cannot open display". Numbers drawn from a wide range, skipping any whose socket or
// lock file is still there, keep the servers of parallel tests apart.
QString startXServer(QProcess& server, const QStringList& arguments);

}  // namespace TestSupport
