#pragma once

#include <QByteArray>
#include <QString>
#include <QUuid>

#include <memory>
#include <optional>

// The data one download has fetched so far, kept so that an interrupted download continues
// where it stopped instead of starting over: one owner-only folder per item, named by the item's
// id, under the partial-data root (see PartialStore). The engines download into it from the
// start, so whatever way the app ends (a quit, a crash, a power cut) the data is where the next
// run looks for it; only the finished file ever reaches the Desktop.
//
// The folder is leased while this object lives: an exclusive lock (flock) on the folder itself,
// not inherited by child processes. Two copies of Quorvin therefore never use the same folder,
// and the start-up clean-up of expired data leaves a folder in use alone. A crash releases the
// lease with the process, so the next run can adopt the data.
class PartialData {
public:
    // What was learned about the kept data, beside it in "kept.json".
    struct Meta {
        QString engine;     // "channels" or "ytdlp"
        QString url;        // the address the data came from
        qint64 kept = -1;   // bytes kept when the download last stopped (-1: unknown)
        qint64 total = -1;  // the whole length the server announced (-1: none)
        QByteArray etag;
        QByteArray lastModified;
    };

    // Takes the folder of `id` below `root` for this process: creates it owner-only when missing
    // and leases it. `continuing`: whatever an earlier attempt kept stays; otherwise the folder
    // is emptied first (a fresh start never mixes in old data). Null when another live process
    // holds the lease or the folder cannot be made.
    static std::unique_ptr<PartialData> take(const QString& root, const QUuid& id, bool continuing);

    // Releases the lease; the folder and its data stay.
    ~PartialData();
    PartialData(const PartialData&) = delete;
    PartialData& operator=(const PartialData&) = delete;

    QString folder() const { return m_folder; }

    // Nothing when no attempt has written it, or it cannot be read.
    std::optional<Meta> meta() const;
    // Written whole or not at all (a crash mid-write leaves the previous one). Any thread.
    bool setMeta(const Meta& meta) const;

    // Removes the folder and everything in it: the download finished, failed or was cancelled.
    void discard();

private:
    PartialData(QString folder, int fd) : m_folder(std::move(folder)), m_fd(fd) {}

    QString m_folder;
    int m_fd = -1;
};
