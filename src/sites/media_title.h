#pragma once

#include <QString>
#include <QUrl>

// What a download is called when yt-dlp has no real title. For a link straight to a stream
// manifest (HLS, DASH) yt-dlp's generic extractor takes the manifest's file name, so videos
// were shown and saved as "master" or "manifest": a name that says nothing and repeats for
// every such download.
namespace MediaTitle {

// Whether `title` is only a manifest's or player's stock file name ("master", "index.m3u8").
bool isPlaceholder(const QString& title);

// The link's host and path, readable and free of path separators: "www.example.org - live -
// launch" for https://www.example.org/live/launch/master.m3u8.
QString fromLink(const QUrl& link);

// `title`, or fromLink(link) when the title is a placeholder.
QString choose(const QString& title, const QUrl& link);

}  // namespace MediaTitle
