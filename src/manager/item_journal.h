#pragma once

#include "core/download_item.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFuture>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUuid>

#include <chrono>
#include <optional>

class DownloadManager;

// Keeps the download list on disk between runs (items.json in the support folder, owner-only),
// so that a quit, a crash or a power cut does not lose it. The file is replaced atomically when
// an item changes its kind of phase, finishes, gets its title or thumbnail, or when the list
// changes; progress ticks never write. Changes are gathered for a second, so a busy list writes
// at most once a second. restore() brings the list back at start: a running item as
// interrupted, a saved video whose file has gone as such. At most kMaxItems are kept; the
// oldest finished ones go, from the list as well. Main thread only; the file itself is written
// on a pool thread, one write at a time.
class ItemJournal : public QObject {
    Q_OBJECT

public:
    static constexpr qsizetype kMaxItems = 200;
    static constexpr std::chrono::milliseconds kGathering{1000};

    // `path`: the journal file; the support folder's items.json unless a test picks another.
    explicit ItemJournal(DownloadManager& manager, const QString& path = defaultPath(),
                         QObject* parent = nullptr);
    ~ItemJournal() override;  // writes what is pending

    static QString defaultPath();

    // Reads the file and hands its items to the manager, below any it has. Call once, at start.
    // A file that cannot be used is moved aside (items.json.bad-<time>, never overwritten) with
    // one log line, and the list starts empty.
    void restore();
    // Writes now if anything is pending: at quit, once the downloads have ended.
    void flush();
    // How many times the file has been written in this run.
    int writes() const { return m_writes; }

Q_SIGNALS:
    void written();

private:
    struct Entry {
        Phase::Kind kind = Phase::working;
        QDateTime created;
        QDateTime finished;
        QPointer<DownloadItem> item;  // set once its signals are followed
    };

    void follow();
    void onPhaseChanged(DownloadItem* item);
    void schedule();
    void write();
    // What the file is to hold now; applies the limit and counts as the start of a write.
    QByteArray nextContents();
    // Replaces the file; the error text when that failed. Thread-safe: touches no member.
    static std::optional<QString> replaceFile(const QString& path, const QByteArray& contents);
    void startWrite(QByteArray contents);
    void writeEnded(quint64 write, const std::optional<QString>& error);
    void takeOutcome(quint64 write, const std::optional<QString>& error);
    // Renames the unreadable file; says what became of it, for the log line.
    QString setAside();

    DownloadManager& m_manager;
    const QString m_path;
    QTimer m_timer;
    QElapsedTimer m_sinceWrite;     // invalid until the first write
    QHash<QUuid, Entry> m_entries;  // the items followed, by id
    bool m_pending = false;
    QFuture<std::optional<QString>> m_inFlight;  // the last write handed to the pool
    quint64 m_startedWrites = 0;
    quint64 m_endedWrites = 0;
    std::optional<QByteArray> m_queued;  // waits for the write in flight
    bool m_failureLogged = false;
    bool m_frozen = false;  // the unreadable file could not be moved aside
    int m_writes = 0;
};
