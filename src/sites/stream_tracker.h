#pragma once

#include <QString>

// Tells which stream a progress line belongs to. yt-dlp downloads a separate picture stream and
// sound stream one after the other and merges them; the byte counter restarts for each, so the
// row labels the progress text to explain the jump back.
class StreamTracker {
public:
    // "" for the first (or only) stream, "声音 · " for sound, "画面 · " for a later picture.
    QString label(const QString& vcodec);

private:
    int m_count = 0;
    QString m_last;
};
