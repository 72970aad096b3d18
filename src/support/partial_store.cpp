#include "support/partial_store.h"

#include "support/app_paths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

struct Folder {
    QUuid id;
    QString path;
    QDateTime newest;
    qint64 bytes = 0;
    int lockFd = -1;  // held while the folder is being judged; -1: in use by a live process
};

// The newest change and the size of the files below `path` (a download touches its newest file
// as long as it runs, so that is when the data was last wanted).
void measure(Folder& folder) {
    QDirIterator it(folder.path, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        folder.bytes += info.size();
        folder.newest = std::max(folder.newest, info.lastModified());
    }
    // An empty folder is as old as the folder itself.
    if (!folder.newest.isValid()) folder.newest = QFileInfo(folder.path).lastModified();
}

bool removeFolder(Folder& folder) {
    const bool gone = QDir(folder.path).removeRecursively();
    ::close(std::exchange(folder.lockFd, -1));
    return gone;
}

}  // namespace

namespace PartialStore {

QString root() {
    return AppPaths::support() + QStringLiteral("/partial");
}

QList<QUuid> removeExpired(const QString& root, std::chrono::seconds maxAge, qint64 maxBytes,
                           const QDateTime& now) {
    QList<Folder> folders;
    const auto entries = QDir(root).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        const QUuid id(entry.fileName());
        // Only folders named by an item's id are ours to judge.
        if (id.isNull() || entry.isSymLink()) continue;
        Folder folder{id, entry.filePath(), {}, 0, -1};
        const int fd = ::open(QFile::encodeName(folder.path).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) continue;
        // An exclusive lock is granted only when no process holds the folder's lease.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            folder.lockFd = fd;
        } else {
            ::close(fd);
        }
        measure(folder);
        folders.append(folder);
    }

    QList<QUuid> removed;
    const QDateTime oldest = now.addSecs(-maxAge.count());
    qint64 total = 0;
    for (Folder& folder : folders) {
        if (folder.lockFd >= 0 && folder.newest < oldest && removeFolder(folder)) {
            removed.append(folder.id);
        } else if (QFileInfo::exists(folder.path)) {
            total += folder.bytes;
        }
    }
    std::ranges::sort(folders, {}, &Folder::newest);
    for (Folder& folder : folders) {
        if (total <= maxBytes) break;
        if (folder.lockFd < 0) continue;
        const qint64 bytes = folder.bytes;
        if (removeFolder(folder)) {
            removed.append(folder.id);
            total -= bytes;
        }
    }
    for (Folder& folder : folders) {
        if (folder.lockFd >= 0) ::close(folder.lockFd);
    }
    return removed;
}

}  // namespace PartialStore
