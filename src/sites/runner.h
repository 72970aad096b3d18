#pragma once

#include "sites/line_splitter.h"
#include "sites/process_group.h"

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTimer>

#include <qcoro/qcorotask.h>

#include <functional>
#include <memory>

// Runs one long-lived tool (yt-dlp) and streams its standard output line by line while it runs.
// The child gets the given tool environment, the temporary folder as working directory, the null
// device as standard input, and a process group of its own so that terminate() reaches the
// ffmpeg it starts as well. One-shot: run() at most once. Lives on the main thread; lines are
// delivered there.
class Runner : public QObject {
    Q_OBJECT

public:
    struct Result {
        int status = -1;    // the exit status; -1 when a signal ended the child
        QStringList lines;  // every non-empty output line except "@@PROG " ones
        QString errorText;  // standard error: its beginning and its end (kStderrCap)
    };
    using LineHandler = std::function<void(const QString&)>;

    // Standard error kept from the beginning of a run, and again from its end: yt-dlp puts the
    // decisive "ERROR: " line last, after any flood of warnings, so the end must survive too.
    static constexpr qsizetype kStderrCap = 200000;

    Runner(const QString& path, const QStringList& args, const QProcessEnvironment& environment,
           QObject* parent = nullptr);
    ~Runner() override;

    // Starts the child and completes when it has ended (and, after a terminate request, when
    // the rest of its group has gone too). `onLine` gets each complete output line, in order.
    // Throws the "无法启动 yt-dlp" Failure when the child cannot be started.
    QCoro::Task<Result> run(LineHandler onLine);

    // Asks the child's whole group to stop (SIGTERM; SIGKILL for the group when it has not ended
    // after ProcessGroup::kTerminateGrace). Safe from any thread at any time; a request before
    // the launch keeps the child from being started at all.
    void terminate();

    // The handle cancellation stoppers hold: it stays valid after the runner is gone.
    std::shared_ptr<ProcessGroup> group() const { return m_group; }

Q_SIGNALS:
    void ended();

private:
    void consume(QByteArrayView chunk);
    void collectError(const QByteArray& chunk);
    void deliver(const QStringList& batch);

    QProcess m_process;
    std::shared_ptr<ProcessGroup> m_group = std::make_shared<ProcessGroup>();
    QTimer m_killTimer;  // the grace period after a terminate request
    qint64 m_pid = 0;    // the child's, which is also its group's id
    LineSplitter m_splitter;
    QByteArray m_errBuffer;  // the first kStderrCap bytes (a chunk may carry it past)
    QByteArray m_errTail;    // what came after, the latest kStderrCap bytes of it
    bool m_errTailCut = false;
    QStringList m_lines;
    LineHandler m_onLine;
    QString m_launchError;
    bool m_launchFailed = false;
    bool m_ended = false;
};
