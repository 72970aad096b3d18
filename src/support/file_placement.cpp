#include "support/file_placement.h"

#include "support/graphemes.h"
#include "support/temp_files.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>

namespace {

bool stopped(const std::function<bool()>& stopRequested) {
    return stopRequested && stopRequested();
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

// Copies `source` into the open `out` and flushes it to disk; closes `out`. Returns 0 or the
// errno.
int copyInto(const QString& source, int out, const std::function<bool()>& stopRequested) {
    const int in = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        const int error = errno;
        ::close(out);
        return error;
    }
    QByteArray buffer(1024 * 1024, Qt::Uninitialized);
    int failure = 0;
    while (failure == 0) {
        if (stopped(stopRequested)) {
            failure = ECANCELED;
            break;
        }
        const ssize_t got = ::read(in, buffer.data(), size_t(buffer.size()));
        if (got == 0) break;
        if (got < 0) {
            if (errno != EINTR) failure = errno;
            continue;
        }
        for (ssize_t done = 0; done < got && failure == 0;) {
            const ssize_t put = ::write(out, buffer.constData() + done, size_t(got - done));
            if (put < 0) {
                if (errno != EINTR) failure = errno;
                continue;
            }
            done += put;
        }
    }
    // The rename that follows publishes the file: its data must be on disk first.
    if (failure == 0 && ::fsync(out) != 0) failure = errno;
    if (::close(out) != 0 && failure == 0) failure = errno;
    ::close(in);
    return failure;
}

// Moves `source` to the first free name. Returns the path, or empty with `*error`.
QString placeAtFreeName(const QString& source, const QString& folder, const QString& name,
                        const QString& stem, const QString& numberedExtension,
                        const std::function<bool()>& stopRequested, int* error) {
    const QByteArray sourcePath = QFile::encodeName(source);
    for (int counter = 1; counter <= FilePlacement::kMaxCounter; ++counter) {
        if (stopped(stopRequested)) {
            *error = ECANCELED;
            return {};
        }
        const QString destination =
            folder + QLatin1Char('/') +
            (counter == 1 ? name
                          : stem + QStringLiteral(" (") + QString::number(counter) +
                                QLatin1Char(')') + numberedExtension);
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

namespace FilePlacement {

qsizetype stemBudget(const QString& extension) {
    const qsizetype suffixBytes =
        (QStringLiteral(" (") + QString::number(kMaxCounter) + QLatin1Char(')') + extension)
            .toUtf8()
            .size();
    return qMax<qsizetype>(0, kMaxNameBytes - suffixBytes);
}

QString fitStem(const QString& stem, const QString& extension) {
    return Graphemes::prefixWithinBytes(stem, stemBudget(extension));
}

bool Error::cancelled() const {
    return code == ECANCELED;
}

QString Error::reason() const {
    return qt_error_string(code);
}

QString place(const QString& source, const QString& folder, const QString& name,
              const QString& numberedExtension, const std::function<bool()>& stopRequested) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    QString stem = dot > 0 ? name.left(dot) : name;
    QString first = name;
    const QString& longer = extension.toUtf8().size() > numberedExtension.toUtf8().size()
                                ? extension
                                : numberedExtension;
    if (const QString fitted = fitStem(stem, longer); fitted != stem) {
        stem = fitted;
        first = stem + extension;
    }

    int error = 0;
    QString placed =
        placeAtFreeName(source, folder, first, stem, numberedExtension, stopRequested, &error);
    if (placed.isEmpty() && error == EXDEV) {
        // Different file systems: copy beside the destination, then rename. The part file is
        // leased while it exists, so another Quorvin's start-up clean-up leaves it alone.
        const QString part = folder + u'/' + TempFiles::desktopPartName();
        const QByteArray partPath = QFile::encodeName(part);
        const int out = ::open(partPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        error = out < 0 ? errno : 0;
        if (out >= 0) {
            const TempFiles::Lease lease(part);
            error = copyInto(source, out, stopRequested);
            if (error == 0) {
                placed = placeAtFreeName(part, folder, first, stem, numberedExtension,
                                         stopRequested, &error);
            }
            if (placed.isEmpty()) {
                ::unlink(partPath.constData());
            } else {
                QFile::remove(source);
            }
        }
    }
    if (placed.isEmpty()) throw Error{error};
    return placed;
}

}  // namespace FilePlacement
