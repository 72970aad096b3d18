#include "channels/cookie_jar.h"

#include "support/log.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <atomic>
#include <cerrno>

namespace {

enum class Outcome { fine, tightened, failed };

// Gives `path` exactly `mode` when it is a folder (`folder`) or a regular file, as wanted. A
// missing entry, a symbolic link and an entry of the other kind are left alone: chmod would
// follow the link, and a jar that is no file is reported where it is read or written.
Outcome tighten(const QString& path, mode_t mode, bool folder, int* error) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0) return Outcome::fine;
    if (folder ? !S_ISDIR(info.st_mode) : !S_ISREG(info.st_mode)) return Outcome::fine;
    if ((info.st_mode & 07777) == mode) return Outcome::fine;
    if (::chmod(name.constData(), mode) == 0) return Outcome::tightened;
    *error = errno;
    return Outcome::failed;
}

}  // namespace

namespace CookieJar {

void securePermissions() {
    const QString jar = path();
    const QString folder = QFileInfo(jar).path();
    int error = 0;
    const Outcome folderOutcome = tighten(folder, 0700, true, &error);
    const Outcome jarOutcome = tighten(jar, 0600, false, &error);
    if (folderOutcome == Outcome::tightened || jarOutcome == Outcome::tightened) {
        Log::write(QStringLiteral("登录信息的权限过宽，别的用户也能读取，已改为只有你能访问：") +
                   jar);
    }
    if (folderOutcome == Outcome::failed || jarOutcome == Outcome::failed) {
        // Checked on every read: said once, not every 1.5 s while the login window polls.
        static std::atomic<bool> told{false};
        if (!told.exchange(true)) {
            Log::write(QStringLiteral("无法收紧登录信息的权限（") + qt_error_string(error) +
                       QStringLiteral("）：") + jar);
        }
    }
}

}  // namespace CookieJar
