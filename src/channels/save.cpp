#include "channels/save.h"

#include "net/problem.h"
#include "support/app_paths.h"
#include "support/file_placement.h"
#include "support/log.h"
#include "support/mp4_structure.h"
#include "support/safe_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

namespace Channels {

QString save(const QString& temporaryFile, const HttpResponse& response, const QString& name,
             const std::function<bool()>& stopRequested) {
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
        throw Problem::apiChanged(
            QStringLiteral("下载到的不是 MP4 视频（类型：") +
            (type ? SafeText::excerpt(QString::fromUtf8(*type)) : QStringLiteral("未知")) +
            QStringLiteral("）"));
    }

    // A body cut short (with no announced length to tell) still starts with "ftyp": only the
    // box structure shows that the rest is missing.
    if (const Mp4::Structure structure = Mp4::check(temporaryFile);
        structure != Mp4::Structure::whole) {
        Log::write(QStringLiteral("视频号视频不完整（") + Mp4::describe(structure) +
                   QStringLiteral("）：") + name);
        throw Problem::network(QStringLiteral("视频服务器：传输中断，下载到的视频不完整"));
    }

    const QString desktop = AppPaths::desktop();
    // A Linux account may have no Desktop folder yet; the user still expects the file there.
    if (!QFileInfo::exists(desktop)) QDir().mkpath(desktop);

    try {
        return FilePlacement::place(temporaryFile, desktop, name, QStringLiteral(".mp4"),
                                    stopRequested);
    } catch (const FilePlacement::Error& error) {
        if (error.cancelled()) throw Problem::cancelled();
        throw Problem::disk(error.reason());
    }
}

}  // namespace Channels
