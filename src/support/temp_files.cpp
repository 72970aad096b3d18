#include "support/temp_files.h"

#include "support/app_paths.h"
#include "support/names.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

int openForLock(const QString& path) {
    return ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
}

}  // namespace

namespace TempFiles {

Lease::Lease(const QString& path) : m_fd(openForLock(path)) {
    if (m_fd >= 0 && ::flock(m_fd, LOCK_SH) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

Lease::~Lease() {
    if (m_fd >= 0) ::close(m_fd);  // closing the descriptor releases the lock
}

Lease::Lease(Lease&& other) noexcept : m_fd(other.m_fd) {
    other.m_fd = -1;
}

Lease& Lease::operator=(Lease&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

QStringList removeAbandoned(const QString& folder, std::chrono::seconds minimumAge) {
    const QDir dir(folder.isEmpty() ? AppPaths::temporary() : folder);
    const QDateTime youngest = QDateTime::currentDateTime().addSecs(-minimumAge.count());
    QStringList removed;
    const auto entries = dir.entryInfoList(
        {Names::temporaryPrefix() + u'*'},
        QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink()) continue;  // never follow a link planted in a shared folder
        if (entry.lastModified() > youngest) continue;
        // Only entries that belong to this user: /tmp is shared.
        if (entry.ownerId() != ::getuid()) continue;
        const int fd = openForLock(entry.filePath());
        if (fd < 0) continue;
        // An exclusive lock is granted only when no process holds a lease.
        const bool abandoned = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        bool gone = false;
        if (abandoned) {
            gone = entry.isDir() ? QDir(entry.filePath()).removeRecursively()
                                 : QFile::remove(entry.filePath());
        }
        ::close(fd);
        if (gone) removed.append(entry.filePath());
    }
    return removed;
}

}  // namespace TempFiles
