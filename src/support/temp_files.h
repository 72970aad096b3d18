#pragma once

#include <QString>
#include <QStringList>

#include <chrono>

// Temporary files and folders of downloads in progress are named "quorvin-…" in the temporary
// folder. A download that is killed leaves them behind; start-up removes those, and only those:
// the tray app and quorvin-cli may run at the same time, so every live entry is leased by its
// owner with a shared lock (flock) on the entry itself for as long as it is in use.
namespace TempFiles {

// Holds the lease of one temporary file or folder until destroyed. The descriptor is
// close-on-exec, so child processes (yt-dlp) never inherit the lock.
class Lease {
public:
    Lease() = default;
    explicit Lease(const QString& path);
    ~Lease();
    Lease(Lease&& other) noexcept;
    Lease& operator=(Lease&& other) noexcept;
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;

    bool isHeld() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// Removes every "quorvin-…" entry of `folder` (the temporary folder by default) that no live
// process leases and that is older than `minimumAge` (an entry created a moment ago may not be
// leased yet). Returns the paths removed. Best effort.
QStringList removeAbandoned(const QString& folder = QString(),
                            std::chrono::seconds minimumAge = std::chrono::seconds(30));

}  // namespace TempFiles
