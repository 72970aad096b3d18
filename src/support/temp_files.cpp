#include "support/temp_files.h"

#include "support/app_paths.h"
#include "support/names.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>
#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

int openForLock(const QString& path) {
    return ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
}

bool isHex(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
}

// The hyphenated UUID text, exactly 36 characters.
bool isUuidText(QStringView text) {
    if (text.size() != 36) return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphen ? text[i] != u'-' : !isHex(text[i])) return false;
    }
    return true;
}

// Whether `name` is `prefix`, a UUID and `suffix`, nothing else.
bool isUuidName(QStringView name, QStringView prefix, QStringView suffix) {
    if (!name.startsWith(prefix) || !name.endsWith(suffix)) return false;
    const qsizetype length = name.size() - prefix.size() - suffix.size();
    return length == 36 && isUuidText(name.sliced(prefix.size(), length));
}

QString uuidText(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces);
}

enum class Kind { file, folder };

QStringList removeMatching(const QString& folder, std::chrono::seconds minimumAge,
                           const std::function<std::optional<Kind>(QStringView)>& ours) {
    const QDir dir(folder);
    const QDateTime youngest = QDateTime::currentDateTime().addSecs(-minimumAge.count());
    QStringList removed;
    const auto entries = dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System |
                                           QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        const std::optional<Kind> kind = ours(entry.fileName());
        if (!kind) continue;
        if (entry.isSymLink()) continue;  // never follow a link planted in a shared folder
        // A name of ours on an entry of another kind is not ours either.
        if (*kind == Kind::folder ? !entry.isDir() : !entry.isFile()) continue;
        if (entry.lastModified() > youngest) continue;
        // Only entries that belong to this user: /tmp is shared.
        if (entry.ownerId() != ::getuid()) continue;
        const int fd = openForLock(entry.filePath());
        if (fd < 0) continue;
        // An exclusive lock is granted only when no process holds a lease.
        const bool abandoned = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        bool gone = false;
        if (abandoned) {
            gone = *kind == Kind::folder ? QDir(entry.filePath()).removeRecursively()
                                         : QFile::remove(entry.filePath());
        }
        ::close(fd);
        if (gone) removed.append(entry.filePath());
    }
    return removed;
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

QString transferFileName() {
    return Names::temporaryPrefix() + uuidText(QUuid::createUuid()).toUpper() +
           QStringLiteral(".mp4");
}

QString workingFolderName(const QUuid& id) {
    return Names::workFolderPrefix() + uuidText(id).toUpper();
}

QString desktopPartName() {
    return u'.' + Names::temporaryPrefix() + uuidText(QUuid::createUuid()) +
           QStringLiteral(".part");
}

bool isOurTransferFileName(QStringView name) {
    return isUuidName(name, Names::temporaryPrefix(), u".mp4");
}

bool isOurWorkingFolderName(QStringView name) {
    return isUuidName(name, Names::workFolderPrefix(), u"");
}

bool isOurDesktopPartName(QStringView name) {
    return isUuidName(name, QString(u'.' + Names::temporaryPrefix()), u".part");
}

QStringList removeAbandoned(const QString& folder, std::chrono::seconds minimumAge) {
    return removeMatching(folder.isEmpty() ? AppPaths::temporary() : folder, minimumAge,
                          [](QStringView name) -> std::optional<Kind> {
                              if (isOurTransferFileName(name)) return Kind::file;
                              if (isOurWorkingFolderName(name)) return Kind::folder;
                              return std::nullopt;
                          });
}

QStringList removeAbandonedParts(const QString& folder, std::chrono::seconds minimumAge) {
    return removeMatching(folder.isEmpty() ? AppPaths::desktop() : folder, minimumAge,
                          [](QStringView name) -> std::optional<Kind> {
                              if (isOurDesktopPartName(name)) return Kind::file;
                              return std::nullopt;
                          });
}

QStringList removeLeftovers() {
    return removeAbandoned() + removeAbandonedParts();
}

}  // namespace TempFiles
