#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

class QLocalServer;
class QLockFile;

// One Quorvin per user. The first copy holds a lock file and listens on a local socket beside
// it; a later copy finds the lock held, asks the first to show its panel and ends. Both live in
// $XDG_RUNTIME_DIR (private to the user; the temporary folder when there is none). A copy that
// crashed leaves a lock naming a dead process and a socket nobody listens on: both are taken
// over.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(QString folder = defaultFolder(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock and starts listening. False when another live copy holds it.
    bool claim();
    // Asks the running copy to show its panel; true once it has answered. Retries while that
    // copy is still starting and not yet listening.
    bool askRunningToShow(std::chrono::milliseconds timeout);

    static QString defaultFolder();
    QString lockPath() const;
    QString socketPath() const;

Q_SIGNALS:
    void showRequested();

private:
    void onConnection();

    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};
