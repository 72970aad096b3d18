#pragma once

#include <QString>

// Whether an MP4 (ISO base media file) is whole, judged from its top-level box headers alone:
// a body cut short, with or without an announced length, leaves boxes that run past the end of
// the file, or no "moov" box (the index without which no player can show a frame). Reads a few
// bytes per top-level box, never the media data, so a multi-gigabyte file costs microseconds.
namespace Mp4 {

enum class Structure {
    whole,       // the boxes tile the file exactly and one of them is "moov"
    unreadable,  // not a regular file, or it cannot be opened or read
    broken,      // a box runs past the end of the file, or the file ends inside a box header
    noIndex,     // the boxes tile the file but there is no "moov" box
};

Structure check(const QString& path);

// True when the file starts like an ISO base media file: bytes 4 to 7 are "ftyp". Files from
// other containers (WebM, Matroska) are not judged by check().
bool startsWithFtyp(const QString& path);

// Short text for the log: "完整", "无法读取", "结构不完整", "缺少 moov".
QString describe(Structure structure);

}  // namespace Mp4
