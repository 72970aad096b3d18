#pragma once

#include <QMutex>
#include <QtGlobal>

#include <functional>

// The process group a child tool runs in. yt-dlp starts ffmpeg for merging; a terminate request
// sent to yt-dlp alone leaves that ffmpeg running, so stopping a download signals the whole
// group. Thread-safe: a cancellation may arrive on any thread while the child starts or ends.
class ProcessGroup {
public:
    // Runs `start` (which launches the child and returns its pid, 0 when the launch failed)
    // unless a terminate request came first; returns whether it ran. The child must make itself
    // the leader of a new group (setsid) before it executes the tool.
    bool launch(const std::function<qint64()>& start);

    // Sends SIGTERM to the group (and to the leader itself, in case it has not yet made its own
    // group). Never escalates to a forced kill. Before the launch it only records the request,
    // so the child is never started; after the child has ended it does nothing.
    void terminate();

    // The child has ended; later terminate() calls do nothing. Returns the group id it had.
    qint64 clearLeader();

    bool terminateRequested() const;

    // Whether any live (non-zombie) process still belongs to the group.
    static bool isAlive(qint64 pgid);

private:
    mutable QMutex m_mutex;
    qint64 m_leader = 0;
    bool m_requested = false;
    bool m_ended = false;
};
