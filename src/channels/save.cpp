#include "channels/save.h"

#include "net/problem.h"
#include "support/app_paths.h"
#include "support/names.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QUuid>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>

namespace {

// Far more than any Desktop holds of one name; a bound keeps a broken folder from looping.
constexpr int kMaxCounter = 9999;

QString reason(int error) {
    return qt_error_string(error);
}

// Puts `source` at `destination` only when nothing at all (file, folder, dangling link) is
// there, in one step of the file system: returns 0, or the errno (EEXIST when taken, EXDEV
// when the two are on different file systems).
int placeWithoutReplacing(const QByteArray& source, const QByteArray& destination) {
#if defined(__linux__)
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, destination.constData(),
                    RENAME_NOREPLACE) == 0) {
        return 0;
    }
    const int error = errno;
    // EINVAL: this file system cannot rename without replacing; a hard link can.
    if (error != EINVAL && error != ENOSYS) return error;
#endif
    if (::link(source.constData(), destination.constData()) != 0) return errno;
    ::unlink(source.constData());
    return 0;
}

// Copies `source` into a new hidden file in `folder` and flushes it to disk; returns its path.
// On failure nothing is left behind and `*error` holds the errno.
QString copyBeside(const QString& source, const QString& folder, int* error) {
    const QString part = folder + QStringLiteral("/.") + Names::temporaryPrefix() +
                         QUuid::createUuid().toString(QUuid::WithoutBraces) +
                         QStringLiteral(".part");
    const QByteArray partPath = QFile::encodeName(part);
    const int in = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        *error = errno;
        return {};
    }
    const int out = ::open(partPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0) {
        *error = errno;
        ::close(in);
        return {};
    }
    QByteArray buffer(1024 * 1024, Qt::Uninitialized);
    int failure = 0;
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), size_t(buffer.size()));
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            failure = errno;
            break;
        }
        for (ssize_t done = 0; done < got && failure == 0;) {
            const ssize_t put = ::write(out, buffer.constData() + done, size_t(got - done));
            if (put < 0) {
                if (errno != EINTR) failure = errno;
                continue;
            }
            done += put;
        }
        if (failure != 0) break;
    }
    // The rename that follows publishes the file: its data must be on disk first.
    if (failure == 0 && ::fsync(out) != 0) failure = errno;
    if (::close(out) != 0 && failure == 0) failure = errno;
    ::close(in);
    if (failure != 0) {
        ::unlink(partPath.constData());
        *error = failure;
        return {};
    }
    return part;
}

// The Desktop names to try, in order: the name, then "<name without extension> (n).mp4".
QString candidate(const QString& folder, const QString& name, int counter) {
    if (counter == 1) return folder + QLatin1Char('/') + name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    return folder + QLatin1Char('/') + stem + QStringLiteral(" (") + QString::number(counter) +
           QStringLiteral(").mp4");
}

// Moves `source` to the first free candidate name. Returns the path, or empty with `*error`.
QString placeAtFreeName(const QString& source, const QString& folder, const QString& name,
                        int* error) {
    const QByteArray sourcePath = QFile::encodeName(source);
    for (int counter = 1; counter <= kMaxCounter; ++counter) {
        const QString destination = candidate(folder, name, counter);
        const int result = placeWithoutReplacing(sourcePath, QFile::encodeName(destination));
        if (result == 0) return destination;
        if (result != EEXIST) {
            *error = result;
            return {};
        }
    }
    *error = EEXIST;
    return {};
}

}  // namespace

namespace Channels {

QString save(const QString& temporaryFile, const HttpResponse& response, const QString& name) {
    // After a successful move there is nothing left to remove; after any failure the
    // temporary file must not linger.
    auto removeTemporary = qScopeGuard([&] { QFile::remove(temporaryFile); });

    // The video address has a limited lifetime; a fresh one is the remedy.
    if (response.status == 403 || response.status == 404 || response.status == 410) {
        throw Problem::linkExpired();
    }
    if (response.status >= 500) {
        // The server answered: the user's connection is not what failed.
        throw Problem::serverFault(QStringLiteral("视频服务器返回 HTTP ") +
                                   QString::number(response.status));
    }
    if (response.status != 200) {
        throw Problem::network(QStringLiteral("视频服务器返回 HTTP ") +
                               QString::number(response.status));
    }
    if (const auto flag = response.header("X-encflag"); flag && *flag != "0") {
        throw Problem::encrypted();
    }

    QByteArray head;
    QFile file(temporaryFile);
    if (file.open(QIODevice::ReadOnly)) head = file.read(12);
    file.close();
    if (head.size() < 8 || head.mid(4, 4) != "ftyp") {
        const auto type = response.header("Content-Type");
        throw Problem::apiChanged(QStringLiteral("下载到的不是 MP4 视频（类型：") +
                                  (type ? QString::fromUtf8(*type) : QStringLiteral("未知")) +
                                  QStringLiteral("）"));
    }

    const QString desktop = AppPaths::desktop();
    // A Linux account may have no Desktop folder yet; the user still expects the file there.
    if (!QFileInfo::exists(desktop)) QDir().mkpath(desktop);

    int error = 0;
    QString saved = placeAtFreeName(temporaryFile, desktop, name, &error);
    if (saved.isEmpty() && error == EXDEV) {
        // Different file systems (a tmpfs /tmp): copy beside the destination, then rename.
        error = 0;
        const QString part = copyBeside(temporaryFile, desktop, &error);
        if (!part.isEmpty()) {
            saved = placeAtFreeName(part, desktop, name, &error);
            if (saved.isEmpty()) QFile::remove(part);
        }
    }
    if (saved.isEmpty()) throw Problem::disk(reason(error));
    return saved;
}

}  // namespace Channels
