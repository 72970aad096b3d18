#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>

#include <optional>

// One resolved Channels video: what the feed service tells about it.
struct ChannelsVideo {
    QString title;   // the post's text, unprocessed; may be empty or hold several lines
    QString author;  // the author's nickname; may be empty
    QUrl videoURL;
    std::optional<QDateTime> createdAt;
    std::optional<QUrl> coverURL;

    // The Desktop file name: the first non-blank line of the title, made safe for a file name
    // and cut to 60 user-perceived characters; else "视频号_<author>_<yyyyMMdd_HHmmss>". Either
    // is cut further, at character boundaries, to fit 255 bytes with a " (n).mp4" suffix. Always
    // ends in ".mp4" and is never just ".mp4" nor a hidden name.
    QString suggestedFilename() const;
};
