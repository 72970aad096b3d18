#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// Points HOME, the XDG folders and TMPDIR into `home`, so a benchmark's Desktop, log, settings
// and cookie jar are its own and never the user's.
inline void usePrivateHome(const QTemporaryDir& home) {
    const QByteArray root = QFile::encodeName(home.path());
    qputenv("HOME", root);
    qputenv("XDG_DATA_HOME", root + "/data");
    qputenv("XDG_STATE_HOME", root + "/state");
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("XDG_CACHE_HOME", root + "/cache");
    QDir().mkpath(home.path() + QStringLiteral("/tmp"));
    qputenv("TMPDIR", root + "/tmp");
}
