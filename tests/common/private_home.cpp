#include "common/private_home.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

namespace TestSupport {

void usePrivateHome(const QString& root) {
    const QByteArray path = QFile::encodeName(root);
    qputenv("QUORVIN_REAL_HOME", qgetenv("HOME"));
    qputenv("HOME", path);
    qputenv("XDG_DATA_HOME", path + "/.local/share");
    qputenv("XDG_STATE_HOME", path + "/.local/state");
    qputenv("XDG_CONFIG_HOME", path + "/.config");
    qputenv("XDG_CACHE_HOME", path + "/.cache");
    QDir().mkpath(root + QStringLiteral("/tmp"));
    qputenv("TMPDIR", path + "/tmp");
    qunsetenv("XDG_DESKTOP_DIR");
}

}  // namespace TestSupport
