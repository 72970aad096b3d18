#pragma once

#include "core/download_item.h"
#include "core/platform.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <optional>

// The text form of the download list kept between runs (items.json): a format number and the
// items, newest first, each with its link, platform, title, thumbnail, phase and times. No I/O
// here: the file is untrusted input, and every rule about what may come back from it sits in
// one place that tests can reach without a disk.
namespace JournalFormat {

// The format this program writes; a file with a larger number comes from a newer program.
constexpr int kVersion = 1;
// A list of 200 items is well under 200 KiB; anything beyond this is not ours.
constexpr qint64 kMaxBytes = 4 * 1024 * 1024;

struct Record {
    QUuid id;
    QUrl url;
    Platform platform = Platform::other;
    QString title;
    std::optional<QUrl> thumbnail;
    Phase phase = Phase::makeWorking(QString());
    QDateTime created;
    QDateTime finished;  // invalid while active
};

// A file that cannot be used at all; `reason` is a short text for the log.
struct Unreadable {
    QString reason;
};

struct Decoded {
    QList<Record> records;
    int skipped = 0;  // items that broke a rule and were left out
};

QByteArray encode(const QList<Record>& records);
// Throws Unreadable for a file that is not a journal of a known format. A single item that
// breaks a rule is left out and counted; the others come back.
Decoded decode(const QByteArray& bytes);

// The phase an item saved as `saved` comes back in: one that was running is interrupted (the
// program is not running it any more), and a saved video whose file has gone says so.
Phase restoredPhase(const Phase& saved, bool fileExists);

// The remedy a key names ("retry", "useBrowserCookies:chrome", …); none for an unknown key.
std::optional<Failure::Action> actionFromKey(const QString& key);

// Positions to drop so that at most `limit` remain: finished items, from the bottom (the oldest)
// up. Running items are never dropped. Ascending order.
QList<qsizetype> overLimit(const QList<bool>& finished, qsizetype limit);

}  // namespace JournalFormat
