#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>
#include <memory>

class QLocalServer;
class QLockFile;

// One Quorvin per user. The first copy holds a lock file and listens on a local socket beside
// it; a later copy finds the lock held, asks the first to show its panel and ends. Both live in
// $XDG_RUNTIME_DIR (private to the user); without one, or when it cannot be written, in a folder
// of ours in the temporary folder (InstanceFolder).
//
// What a copy that died leaves behind is taken over: a lock naming a dead process, a lock left
// empty or unreadable (killed between creating and writing it, a power cut), an empty folder or
// anything but a file in its place, and a socket nobody listens on. A lock that a live process
// holds is never taken: QLockFile keeps an flock on it for as long as it holds it.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    // This copy can neither hold the lock nor find another that holds it; `reason` says why,
    // for the user.
    struct Unavailable {
        QString reason;
    };

    // The lock in the usual place (above), or in `folder` when one is given.
    explicit SingleInstance(QString folder = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock and starts listening: true. False when another live copy holds it. Throws
    // Unavailable when it is neither.
    bool claim();
    // Asks the running copy to show its panel; true once it has answered. Retries while that
    // copy is still starting and not yet listening.
    bool askRunningToShow(std::chrono::milliseconds timeout);
    // Hands links (or a share text holding them) to the running copy, which downloads them.
    // Returns its answer: empty when it took them, else the one line that says why not (or
    // that it did not answer).
    QString handLinksToRunning(const QByteArray& text, std::chrono::milliseconds timeout);

    QString lockPath() const;
    QString socketPath() const;

Q_SIGNALS:
    void showRequested();
    // Links another launch handed over, checked (web links only, bounded).
    void linksReceived(const QList<QUrl>& links);

private:
    bool claimIn(const QString& folder);
    void clearNonFileLock();
    bool takeOverUnreadableLock();
    void onConnection();
    // One request line from a client; returns the answer line.
    QByteArray answer(const QByteArray& line);
    // Sends one request line and returns the first answer line, retrying while the running
    // copy is not listening yet; empty when it never answered.
    QByteArray request(const QByteArray& line, std::chrono::milliseconds timeout);

    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};
