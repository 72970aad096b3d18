#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QUuid>

#include <chrono>

// Temporary files and folders of downloads in progress: "quorvin-<UUID>.mp4" (a transfer) and
// "quorvin-dl-<UUID>/" (a yt-dlp working folder) in the temporary folder, and
// ".quorvin-<uuid>.part" beside the Desktop file a save across file systems is writing. A
// download that is killed leaves them behind; start-up removes those, and only those: exactly
// these names (a user's "quorvin-notes/" is not ours), of this user, unleased and older than 30 s.
// The tray app and quorvin-cli may run at the same time, so every live entry is leased by its
// owner with a shared lock (flock) on the entry itself for as long as it is in use.
namespace TempFiles {

// The names Quorvin gives its entries, and the tests that recognise them. The UUID is the
// hyphenated 8-4-4-4-12 form; either letter case is accepted.
QString transferFileName();                  // "quorvin-<UUID>.mp4"
QString workingFolderName(const QUuid& id);  // "quorvin-dl-<UUID>"
QString desktopPartName();                   // ".quorvin-<uuid>.part"
bool isOurTransferFileName(QStringView name);
bool isOurWorkingFolderName(QStringView name);
bool isOurDesktopPartName(QStringView name);

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

// Removes every transfer file and working folder of `folder` (the temporary folder by default)
// that no live process leases and that is older than `minimumAge` (an entry created a moment
// ago may not be leased yet). Returns the paths removed. Best effort.
QStringList removeAbandoned(const QString& folder = QString(),
                            std::chrono::seconds minimumAge = std::chrono::seconds(30));

// The same for the hidden part files of saves in `folder` (the Desktop by default).
QStringList removeAbandonedParts(const QString& folder = QString(),
                                 std::chrono::seconds minimumAge = std::chrono::seconds(30));

// The start-up clean-up: both of the above with their defaults.
QStringList removeLeftovers();

}  // namespace TempFiles
