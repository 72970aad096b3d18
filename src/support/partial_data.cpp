#include "support/partial_data.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kMetaFile = QStringLiteral("/kept.json");

// The descriptor that carries the lease, or -1 when the folder is missing or leased by another
// process.
int leaseFolder(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    // The clean-up of another process may have removed the folder between the open and the lock:
    // then the lease would guard a folder nobody can reach.
    struct stat held {};
    struct stat named {};
    if (::fstat(fd, &held) != 0 || ::stat(path.constData(), &named) != 0 ||
        held.st_ino != named.st_ino || held.st_dev != named.st_dev) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::unique_ptr<PartialData> PartialData::take(const QString& root, const QUuid& id,
                                               bool continuing) {
    QDir().mkpath(root);
    ::chmod(QFile::encodeName(root).constData(), 0700);
    const QString folder = root + u'/' + id.toString(QUuid::WithoutBraces);
    // Created owner-only in one step; an existing folder is adopted as it is.
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    const int fd = leaseFolder(folder);
    if (fd < 0) return nullptr;
    std::unique_ptr<PartialData> data(new PartialData(folder, fd));
    if (!continuing) {
        QDir dir(folder);
        const auto entries = dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                               QDir::NoDotAndDotDot);
        for (const QFileInfo& entry : entries) {
            if (entry.isDir() && !entry.isSymLink()) {
                QDir(entry.filePath()).removeRecursively();
            } else {
                QFile::remove(entry.filePath());
            }
        }
    }
    return data;
}

PartialData::~PartialData() {
    if (m_fd >= 0) ::close(m_fd);  // closing the descriptor releases the lease
}

std::optional<PartialData::Meta> PartialData::meta() const {
    QFile file(m_folder + kMetaFile);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QJsonObject object = QJsonDocument::fromJson(file.read(64 * 1024)).object();
    if (object.isEmpty()) return std::nullopt;
    Meta meta;
    meta.engine = object.value(QStringLiteral("engine")).toString();
    meta.url = object.value(QStringLiteral("url")).toString();
    meta.kept = qint64(object.value(QStringLiteral("kept")).toDouble(-1));
    meta.total = qint64(object.value(QStringLiteral("total")).toDouble(-1));
    meta.etag = object.value(QStringLiteral("etag")).toString().toUtf8();
    meta.lastModified = object.value(QStringLiteral("lastModified")).toString().toUtf8();
    return meta;
}

bool PartialData::setMeta(const Meta& meta) const {
    const QJsonObject object{
        {QStringLiteral("engine"), meta.engine},
        {QStringLiteral("url"), meta.url},
        {QStringLiteral("kept"), double(meta.kept)},
        {QStringLiteral("total"), double(meta.total)},
        {QStringLiteral("etag"), QString::fromUtf8(meta.etag)},
        {QStringLiteral("lastModified"), QString::fromUtf8(meta.lastModified)}};
    QSaveFile file(m_folder + kMetaFile);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(QJsonDocument(object).toJson(QJsonDocument::Compact));
    return file.commit();
}

void PartialData::discard() {
    QDir(m_folder).removeRecursively();
    if (m_fd >= 0) ::close(std::exchange(m_fd, -1));
}
