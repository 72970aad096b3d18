#include "app/instance_folder.h"

#include "app/single_instance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace InstanceFolder {

namespace {

bool isOursAlone(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 07777) == 0700;
}

// QDir::tempPath() is empty when TMPDIR names no folder; mkdtemp and friends then use /tmp.
QString temporaryFolder() {
    const QString temp = QDir::tempPath();
    return temp.isEmpty() ? QStringLiteral("/tmp") : temp;
}

}  // namespace

QString systemWords() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString runtime() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo(runtime).isDir() ? runtime : QString();
}

QString privateFallback() {
    const QString temp = temporaryFolder();
    const QString name = QStringLiteral("quorvin-") + QString::number(::getuid());
    const QString usual = temp + u'/' + name;
    // mkdir never follows a link that stands in the way, and makes the folder ours and 0700.
    ::mkdir(QFile::encodeName(usual).constData(), 0700);
    if (isOursAlone(usual)) return usual;
    const QStringList earlier = QDir(temp).entryList({name + QStringLiteral("-??????")},
                                                     QDir::Dirs | QDir::Hidden, QDir::Name);
    for (const QString& entry : earlier) {
        if (isOursAlone(temp + u'/' + entry)) return temp + u'/' + entry;
    }
    QByteArray pattern = QFile::encodeName(usual + QStringLiteral("-XXXXXX"));
    if (::mkdtemp(pattern.data())) return QFile::decodeName(pattern);
    throw SingleInstance::Unavailable{QStringLiteral("无法在 ") + temp +
                                      QStringLiteral(" 中建立私用文件夹（") + systemWords() +
                                      QStringLiteral("）")};
}

}  // namespace InstanceFolder
