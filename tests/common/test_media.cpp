#include "common/test_media.h"

#include "common/test_support.h"

#include <QDir>
#include <QFileInfo>

namespace TestMedia {

QByteArray mp4Bytes(qsizetype size) {
    QByteArray bytes(
        "\x00\x00\x00\x20"
        "ftypisom",
        12);
    bytes.reserve(size);
    while (bytes.size() < size) bytes.append(char(bytes.size() * 7));
    return bytes.left(qMax<qsizetype>(size, 12));
}

QStringList clipSources(int seconds, QSize frame, int rate) {
    return {QStringLiteral("-f"),
            QStringLiteral("lavfi"),
            QStringLiteral("-i"),
            QStringLiteral("testsrc=duration=%1:size=%2x%3:rate=%4")
                .arg(seconds)
                .arg(frame.width())
                .arg(frame.height())
                .arg(rate),
            QStringLiteral("-f"),
            QStringLiteral("lavfi"),
            QStringLiteral("-i"),
            QStringLiteral("sine=duration=%1").arg(seconds),
            QStringLiteral("-c:v"),
            QStringLiteral("libx264"),
            QStringLiteral("-preset"),
            QStringLiteral("ultrafast"),
            QStringLiteral("-c:a"),
            QStringLiteral("aac")};
}

bool ffmpeg(const QStringList& arguments, QByteArray* error) {
    const TestSupport::ProcessResult result = TestSupport::run(
        QStringLiteral("/usr/bin/ffmpeg"),
        QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")} +
            arguments);
    if (error) *error = result.err;
    return result.exitCode == 0;
}

bool makeClip(const QString& path, int seconds, QSize frame, int rate) {
    QDir().mkpath(QFileInfo(path).path());
    return ffmpeg(clipSources(seconds, frame, rate) +
                  QStringList{QStringLiteral("-shortest"), QStringLiteral("-movflags"),
                              QStringLiteral("+faststart"), path});
}

}  // namespace TestMedia
