#include "support/mp4_structure.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace {

quint32 bigEndian32(const uchar* bytes) {
    return (quint32(bytes[0]) << 24) | (quint32(bytes[1]) << 16) | (quint32(bytes[2]) << 8) |
           quint32(bytes[3]);
}

quint64 bigEndian64(const uchar* bytes) {
    return (quint64(bigEndian32(bytes)) << 32) | bigEndian32(bytes + 4);
}

}  // namespace

namespace Mp4 {

Structure check(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile() || info.isSymLink()) return Structure::unreadable;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return Structure::unreadable;
    const quint64 size = quint64(file.size());
    quint64 offset = 0;
    bool sawIndex = false;
    while (offset < size) {
        // A box header: 32-bit size and type; size 1 means a 64-bit size follows, size 0 that
        // the box runs to the end of the file.
        uchar header[16];
        if (size - offset < 8 || !file.seek(qint64(offset)) ||
            file.read(reinterpret_cast<char*>(header), 8) != 8) {
            return size - offset < 8 ? Structure::broken : Structure::unreadable;
        }
        quint64 boxSize = bigEndian32(header);
        const bool isIndex = memcmp(header + 4, "moov", 4) == 0;
        if (boxSize == 1) {
            if (size - offset < 16 || file.read(reinterpret_cast<char*>(header + 8), 8) != 8) {
                return size - offset < 16 ? Structure::broken : Structure::unreadable;
            }
            boxSize = bigEndian64(header + 8);
            if (boxSize < 16) return Structure::broken;
        } else if (boxSize == 0) {
            boxSize = size - offset;
        } else if (boxSize < 8) {
            return Structure::broken;
        }
        if (boxSize > size - offset) return Structure::broken;
        sawIndex = sawIndex || isIndex;
        offset += boxSize;
    }
    if (size == 0) return Structure::broken;
    return sawIndex ? Structure::whole : Structure::noIndex;
}

bool startsWithFtyp(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = file.read(8);
    return head.size() == 8 && head.mid(4, 4) == "ftyp";
}

QString describe(Structure structure) {
    switch (structure) {
        case Structure::whole:
            return QStringLiteral("完整");
        case Structure::unreadable:
            return QStringLiteral("无法读取");
        case Structure::broken:
            return QStringLiteral("结构不完整");
        case Structure::noIndex:
            return QStringLiteral("缺少 moov");
    }
    return {};
}

}  // namespace Mp4
