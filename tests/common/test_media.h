#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QStringList>

// Media for the tests: a cheap MP4-looking body, and real clips made with ffmpeg's test
// sources (a moving test picture and a sine tone).
namespace TestMedia {

// A minimal whole MP4 of `size` bytes (at least 48): "ftyp", an empty "moov", then "mdat".
QByteArray mp4Bytes(qsizetype size = 4096);

// ffmpeg's input arguments for `seconds` of test picture and tone, encoded as H.264 and AAC.
QStringList clipSources(int seconds, QSize frame = QSize(160, 120), int rate = 10);

// Runs ffmpeg quietly (overwriting outputs); true when it succeeded. Its error output, when it
// failed, goes to `error`.
bool ffmpeg(const QStringList& arguments, QByteArray* error = nullptr);

// A short clip (H.264 picture and AAC sound, index at the front) at `path`, creating folders.
bool makeClip(const QString& path, int seconds, QSize frame = QSize(160, 120), int rate = 10);

}  // namespace TestMedia
