#include "common/test_media.h"

#include "common/test_support.h"

#include <QDir>
#include <QFileInfo>

#include <QtEndian>

namespace TestMedia {

QByteArray mp4Bytes(qsizetype size) {
    // "ftyp" (24 bytes), an empty "moov" (8) and an "mdat" box holding the rest: the top-level
    // boxes tile the file, as in a whole MP4. At least 48 bytes.
    const auto box = [](const char* type, qsizetype length) {
        QByteArray bytes(4, '\0');
        qToBigEndian(quint32(length), bytes.data());
        return bytes + QByteArray(type, 4);
    };
    QByteArray bytes = box("ftyp", 24) + "isom" + QByteArray("\x00\x00\x02\x00", 4) + "isommp42";
    bytes += box("moov", 8);
    const qsizetype whole = qMax<qsizetype>(size, 48);
    bytes += box("mdat", whole - bytes.size());
    bytes.reserve(whole);
    while (bytes.size() < whole) bytes.append(char((bytes.size() * 131) >> 3));
    return bytes;
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
