#pragma once

#include <QObject>

#include <chrono>

class DownloadManager;
class QTimer;

// The end of a run, from the menu, the panel or a termination signal: every running download is
// cancelled, "App 退出" is logged and the windows go (windowsGone()). The cancelled downloads
// then stop their tools and remove their working folders as the event loop runs; once none is
// active (or the grace is over) whatever tool group is left is ended and finished() says that
// the process may end. Runs once; later requests do nothing.
class QuitSequence : public QObject {
    Q_OBJECT

public:
    // How long the cancelled downloads get to end by themselves.
    static constexpr std::chrono::milliseconds kGrace{3000};

    explicit QuitSequence(DownloadManager& manager, QObject* parent = nullptr);

    void run();
    bool hasBegun() const { return m_begun; }

Q_SIGNALS:
    // The downloads are cancelled and the end is logged: the icon and the panel go now.
    void windowsGone();
    // Nothing of ours runs any more: the process may end.
    void finished();

private:
    void checkDownloads();
    void end();

    DownloadManager& m_manager;
    QTimer* m_grace = nullptr;
    bool m_begun = false;
    bool m_ended = false;
};
