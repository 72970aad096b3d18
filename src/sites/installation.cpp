#include "sites/installation.h"

#include "sites/tools.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// ID followed by the words of ID_LIKE, lower case, quotes removed.
QStringList systemIds(const Tools::Settings& settings) {
    QFile file(settings.osReleasePath);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QString id;
    QStringList like;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0) continue;
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && (value.startsWith(u'"') || value.startsWith(u'\'')) &&
            value.endsWith(value.front())) {
            value = value.mid(1, value.size() - 2);
        }
        const QString key = line.left(equals);
        if (key == u"ID") id = value.toLower();
        if (key == u"ID_LIKE") like = value.toLower().split(u' ', Qt::SkipEmptyParts);
    }
    QStringList ids;
    if (!id.isEmpty()) ids << id;
    return ids + like;
}

QString managerOf(const QString& id) {
    if (id == u"debian" || id == u"ubuntu" || id == u"linuxmint" || id == u"pop" ||
        id == u"raspbian" || id == u"deepin" || id == u"uos" || id == u"kylin") {
        return QStringLiteral("apt");
    }
    if (id == u"fedora" || id == u"rhel" || id == u"centos" || id == u"rocky" ||
        id == u"almalinux" || id == u"openeuler" || id == u"anolis") {
        return QStringLiteral("dnf");
    }
    if (id == u"arch" || id == u"manjaro" || id == u"endeavouros") return QStringLiteral("pacman");
    if (id == u"suse" || id == u"opensuse" || id.startsWith(u"opensuse-") || id == u"sles") {
        return QStringLiteral("zypper");
    }
    return {};
}

// True when the permission bits let this user replace the file: write access to it and to its
// folder (an update writes a new file next to it). The bits, not access(): running as root
// must not talk Quorvin into rewriting a file that is marked read-only.
bool mayReplace(const QString& path) {
    auto writable = [](const QString& file) {
        struct stat info {};
        if (::stat(QFile::encodeName(file).constData(), &info) != 0) return false;
        if (info.st_uid == ::geteuid()) return (info.st_mode & S_IWUSR) != 0;
        if (info.st_gid == ::getegid()) return (info.st_mode & S_IWGRP) != 0;
        return (info.st_mode & S_IWOTH) != 0;
    };
    return writable(path) && writable(QFileInfo(path).absolutePath());
}

bool listsPath(const QString& listFile, const QStringList& paths) {
    QFile file(listFile);
    if (!file.open(QIODevice::ReadOnly)) return false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (paths.contains(line)) return true;
    }
    return false;
}

// dpkg keeps one list of files per package; the yt-dlp package's list is read first.
bool ownedByDpkg(const Tools::Settings& settings, const QStringList& paths) {
    const QString info = settings.packageRoot + QStringLiteral("/var/lib/dpkg/info");
    if (listsPath(info + QStringLiteral("/yt-dlp.list"), paths)) return true;
    QDirIterator lists(info, {QStringLiteral("*.list")}, QDir::Files);
    while (lists.hasNext()) {
        if (listsPath(lists.next(), paths)) return true;
    }
    return false;
}

// pacman keeps "files" in local/<name>-<version>/, paths without the leading slash.
bool ownedByPacman(const Tools::Settings& settings, const QStringList& paths) {
    QStringList relative;
    for (const QString& path : paths) relative << path.mid(1);
    QDirIterator packages(settings.packageRoot + QStringLiteral("/var/lib/pacman/local"),
                          {QStringLiteral("yt-dlp-*")}, QDir::Dirs | QDir::NoDotAndDotDot);
    while (packages.hasNext()) {
        if (listsPath(packages.next() + QStringLiteral("/files"), relative)) return true;
    }
    return false;
}

bool ownedByRpm(const Tools::Settings& settings, const QString& path) {
    const std::optional<QString> rpm = Tools::find(settings, QStringLiteral("rpm"));
    return rpm && Tools::run(settings, *rpm, {QStringLiteral("-qf"), path}).status == 0;
}

// A pip console script is a few lines of Python that import yt_dlp; a release file is a large
// zip application or a native program.
bool isPipScript(const QString& path) {
    QFile file(path);
    if (file.size() > 8192 || !file.open(QIODevice::ReadOnly)) return false;
    const QByteArray text = file.readAll();
    return text.startsWith("#!") &&
           (text.contains("from yt_dlp") || text.contains("import yt_dlp"));
}

bool isPipxEnvironment(const QString& realPath) {
    if (!realPath.contains(QStringLiteral("/pipx/venvs/"))) return false;
    // <venv>/bin/yt-dlp, with pipx's record of the environment in <venv>.
    const QDir venv = QFileInfo(realPath).dir().filePath(QStringLiteral(".."));
    return QFile::exists(venv.filePath(QStringLiteral("pipx_metadata.json")));
}

QString distributionUpdate(const Tools::Settings& settings, const QString& owner) {
    if (owner == u"dpkg") return QStringLiteral("sudo apt install --only-upgrade yt-dlp");
    if (owner == u"pacman") return QStringLiteral("sudo pacman -Syu yt-dlp");
    if (Tools::systemPackageManager(settings) == u"zypper")
        return QStringLiteral("sudo zypper update yt-dlp");
    return QStringLiteral("sudo dnf upgrade yt-dlp");
}

}  // namespace

namespace Tools {

QString Installation::description() const {
    switch (kind) {
        case Kind::homebrew:
            return QStringLiteral("Homebrew");
        case Kind::pipx:
            return QStringLiteral("pipx");
        case Kind::pip:
            return QStringLiteral("pip");
        case Kind::standalone:
            return QStringLiteral("release file");
        case Kind::distribution:
            return QStringLiteral("distribution package (") + owner + u')';
        case Kind::unknown:
            break;
    }
    return QStringLiteral("unknown");
}

Installation installationOf(const Settings& settings, const QString& path) {
    Installation result;
    result.path = path;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    result.realPath = canonical.isEmpty() ? path : canonical;
    const QStringList paths = result.path == result.realPath
                                  ? QStringList{result.path}
                                  : QStringList{result.path, result.realPath};

    bool inPrefix = false;
    for (const QString& prefix : settings.homebrewPrefixes) {
        if (path.startsWith(prefix)) inPrefix = true;
    }
    // A link into Homebrew's Cellar, or a file placed directly in a Homebrew folder.
    if (brew(settings) && inPrefix &&
        (result.realPath.contains(QStringLiteral("/Cellar/")) || !QFileInfo(path).isSymLink())) {
        result.kind = Installation::Kind::homebrew;
        result.updateCommand = QStringLiteral("brew upgrade yt-dlp");
        return result;
    }
    if (isPipxEnvironment(result.realPath)) {
        result.kind = Installation::Kind::pipx;
        result.updateCommand = QStringLiteral("pipx upgrade yt-dlp");
        return result;
    }
    if (ownedByDpkg(settings, paths)) {
        result.owner = QStringLiteral("dpkg");
    } else if (ownedByPacman(settings, paths)) {
        result.owner = QStringLiteral("pacman");
    } else if (ownedByRpm(settings, result.realPath)) {
        result.owner = QStringLiteral("rpm");
    }
    if (!result.owner.isEmpty()) {
        result.kind = Installation::Kind::distribution;
        result.updateCommand = distributionUpdate(settings, result.owner);
        return result;
    }
    if (isPipScript(result.realPath)) {
        result.kind = Installation::Kind::pip;
        result.updateCommand = QStringLiteral("python3 -m pip install -U yt-dlp");
        return result;
    }
    if (mayReplace(result.realPath)) {
        result.kind = Installation::Kind::standalone;
        result.updateCommand = QStringLiteral("yt-dlp -U");
    }
    return result;
}

QString defaultOsReleasePath() {
    const QString etc = QStringLiteral("/etc/os-release");
    return QFile::exists(etc) ? etc : QStringLiteral("/usr/lib/os-release");
}

QString systemPackageManager(const Settings& settings) {
    for (const QString& id : systemIds(settings)) {
        const QString manager = managerOf(id);
        if (!manager.isEmpty()) return manager;
    }
    return {};
}

}  // namespace Tools
