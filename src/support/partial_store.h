#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <chrono>

// Where interrupted downloads keep their data (one PartialData folder per item id), and the
// rule that keeps it from piling up: data is kept for a week, and for at most 4 GiB in all.
namespace PartialStore {

inline constexpr std::chrono::hours kMaxAge{7 * 24};
inline constexpr qint64 kMaxBytes = qint64(4) << 30;

// "<support folder>/partial".
QString root();

// Removes from `root` the item folders that no live process leases and that are older than
// `maxAge` (by their newest file), then, oldest first, as many of the rest as it takes to bring
// the total under `maxBytes`. A folder in use is never removed and still counts towards the
// total. Returns the ids whose data is gone. Blocks on the disk: not on the main thread.
QList<QUuid> removeExpired(const QString& root, std::chrono::seconds maxAge = kMaxAge,
                           qint64 maxBytes = kMaxBytes,
                           const QDateTime& now = QDateTime::currentDateTime());

}  // namespace PartialStore
