#pragma once

#include <QMutex>
#include <QStringList>
#include <QtGlobal>

#include <sys/types.h>
#include <chrono>
#include <functional>

// The process group a child tool runs in. yt-dlp starts ffmpeg for merging; a terminate request
// sent to yt-dlp alone leaves that ffmpeg running, so stopping a download signals the whole
// group. Thread-safe: a cancellation may arrive on any thread while the child starts or ends.
//
// No tool outlives its reason to run: a group that ignores the terminate request is killed
// after a grace period (the owner calls kill()), every live group is ended when Quorvin exits
// (endAll(), also run at exit), and a group dies with Quorvin even when Quorvin is killed
// (setUpChild()).
class ProcessGroup {
public:
    // How long a group may take to end after a terminate request before it is killed.
    static constexpr std::chrono::seconds kTerminateGrace{5};

    ProcessGroup() = default;
    ~ProcessGroup();
    ProcessGroup(const ProcessGroup&) = delete;
    ProcessGroup& operator=(const ProcessGroup&) = delete;

    // Runs `start` (which launches the child and returns its pid, 0 when the launch failed)
    // unless a terminate request came first; returns whether it ran. The child must call
    // setUpChild() before it executes the tool.
    bool launch(const std::function<qint64()>& start);

    // Sends SIGTERM to the group (and to the leader itself, in case it has not yet made its own
    // group). Before the launch it only records the request, so the child is never started;
    // after the child has ended it does nothing. The first request calls the hook installed
    // with onTerminateRequested(), on the calling thread.
    void terminate();

    // Sends SIGKILL to the group: the end of the grace period, or of the application.
    void kill();

    // A folder the group's tools work in. Its owner removes it once the run is over; endAll()
    // removes it as well once the group is gone, because when the application ends that run
    // never resumes to do so (a tool that ignored the terminate request outlives the wait).
    void removeWhenEnded(const QString& folder);

    // Called (under this group's lock, on the thread that terminates) when the first terminate
    // request reaches a launched child; the owner starts its grace timer from it.
    void onTerminateRequested(std::function<void()> hook);

    // The child has ended; later terminate() calls do nothing. Returns the group id it had.
    qint64 clearLeader();

    bool terminateRequested() const;

    // Whether any live (non-zombie) process still belongs to the group.
    static bool isAlive(qint64 pgid);

    // Ends every group still registered: SIGTERM, up to `grace` for them to go, then SIGKILL
    // for the rest. Blocks the caller for at most `grace` (plus a moment). Runs by itself when
    // the program exits normally; the quit path may call it earlier.
    // Then removes the folders of removeWhenEnded().
    static void endAll(std::chrono::milliseconds grace = std::chrono::milliseconds(1500));

    // The leaders of the groups currently registered.
    static QList<qint64> liveLeaders();

    // The niceness the tools run at: below the desktop, so a download never makes it stutter.
    static constexpr int kToolNiceness = 10;

    // Runs in the child between fork and exec (async-signal-safe calls only): makes the child
    // the leader of a new session and group at kToolNiceness, and ties the group's life to
    // `parent`, the process that forks it (the death signal follows the forking thread: fork from
    // the main thread). The tool gets SIGKILL when Quorvin dies; the tool's own children (ffmpeg)
    // do not inherit that, so a small watcher forked here, a member of the group, kills the whole
    // group as soon as the tool is gone.
    static void setUpChild(pid_t parent);

private:
    mutable QMutex m_mutex;
    qint64 m_leader = 0;
    bool m_requested = false;
    bool m_ended = false;
    std::function<void()> m_hook;
    QStringList m_folders;
};
