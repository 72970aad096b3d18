#include "sites/runner.h"

#include "core/failure.h"
#include "support/app_paths.h"

#include <qcoro/qcorosignal.h>
#include <qcoro/qcorotimer.h>

#include <QDeadlineTimer>
#include <QTimer>

#include <unistd.h>
#include <chrono>

namespace {
const QString kProgressMarker = QStringLiteral("@@PROG ");
// After the tool has ended on a terminate request, the run waits for the rest of its group (the
// watcher kills it at once) so the caller can remove the working folder once nobody writes into
// it; bounded, so a cancel never hangs.
constexpr std::chrono::seconds kGroupGrace =
    ProcessGroup::kTerminateGrace + std::chrono::seconds(2);
}  // namespace

Runner::Runner(const QString& path, const QStringList& args, const QProcessEnvironment& environment,
               QObject* parent)
    : QObject(parent) {
    m_process.setProgram(path);
    m_process.setArguments(args);
    m_process.setProcessEnvironment(environment);
    m_process.setWorkingDirectory(AppPaths::temporary());
    m_process.setStandardInputFile(QProcess::nullDevice());
    // A group of its own: terminating the group also reaches ffmpeg, which yt-dlp starts for
    // merging and which a signal to yt-dlp alone would leave running.
    // The group also dies with Quorvin: see ProcessGroup::setUpChild. The runner lives on the
    // main thread, whose end is the end of the process, so the death signal means just that.
    const pid_t quorvin = ::getpid();
    m_process.setChildProcessModifier([quorvin] { ProcessGroup::setUpChild(quorvin); });
    // A tool that ignores the terminate request is killed with its group after the grace
    // period. The request may come from any thread; the timer starts on this one.
    m_killTimer.setSingleShot(true);
    m_killTimer.setInterval(ProcessGroup::kTerminateGrace);
    connect(&m_killTimer, &QTimer::timeout, this, [this] { m_group->kill(); });
    m_group->onTerminateRequested([this] {
        QMetaObject::invokeMethod(
            this, [this] { m_killTimer.start(); }, Qt::QueuedConnection);
    });
}

Runner::~Runner() {
    m_group->onTerminateRequested(nullptr);
    disconnect(&m_process, nullptr, this, nullptr);
    if (m_process.state() != QProcess::NotRunning) {
        // Only reached when the owner goes away mid-run (the application quits).
        m_group->terminate();
        if (!m_process.waitForFinished(3000)) {
            m_group->kill();
            m_process.waitForFinished(1000);
        }
    }
}

void Runner::terminate() {
    m_group->terminate();
}

QCoro::Task<Runner::Result> Runner::run(LineHandler onLine) {
    m_onLine = std::move(onLine);
    connect(&m_process, &QProcess::readyReadStandardOutput, this,
            [this] { consume(m_process.readAllStandardOutput()); });
    connect(&m_process, &QProcess::readyReadStandardError, this,
            [this] { collectError(m_process.readAllStandardError()); });
    // ended() is emitted through the event loop: the caller resumes on a clean stack and may
    // destroy this runner (and its QProcess), which it must not do inside a QProcess signal.
    connect(&m_process, &QProcess::finished, this, [this] {
        m_ended = true;
        QMetaObject::invokeMethod(this, &Runner::ended, Qt::QueuedConnection);
    });
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart || m_ended) return;
        m_launchFailed = true;
        m_launchError = m_process.errorString();
        m_ended = true;
        QMetaObject::invokeMethod(this, &Runner::ended, Qt::QueuedConnection);
    });

    const bool launched = m_group->launch([this]() -> qint64 {
        m_process.start();
        m_pid = m_process.processId();
        return m_pid;
    });
    if (!launched) {
        // Stopped before it began: nothing ran, nothing to report.
        m_group->clearLeader();
        co_return Result{-1, {}, {}};
    }
    if (!m_ended) co_await qCoro(this, &Runner::ended);

    if (m_launchFailed) {
        m_group->clearLeader();
        throw Failure{QStringLiteral("无法启动 yt-dlp"),
                      m_launchError,
                      {Failure::Action::copyInstallCommand}};
    }

    // All on this thread, so the final reads follow every chunk already delivered: each byte
    // reaches the splitter once and in order.
    consume(m_process.readAllStandardOutput());
    deliver(m_splitter.finish());
    collectError(m_process.readAllStandardError());

    if (m_group->terminateRequested()) {
        const qint64 pgid = m_pid;  // the process has gone, its group may not have
        const QDeadlineTimer deadline(kGroupGrace);
        while (ProcessGroup::isAlive(pgid) && !deadline.hasExpired()) {
            co_await QCoro::sleepFor(std::chrono::milliseconds(50));
        }
        if (ProcessGroup::isAlive(pgid)) m_group->kill();
    }
    m_killTimer.stop();
    m_group->clearLeader();

    Result result;
    result.status = m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    result.lines = m_lines;
    if (!m_errTail.isEmpty()) {
        if (m_errTail.size() > kStderrCap) {
            m_errTail.remove(0, m_errTail.size() - kStderrCap);
            m_errTailCut = true;
        }
        // A tail cut at a byte count starts inside a line: drop that partial line.
        if (m_errTailCut) {
            const qsizetype newline = m_errTail.indexOf('\n');
            m_errTail.remove(0, newline < 0 ? 0 : newline + 1);
        }
        if (!m_errBuffer.endsWith('\n')) m_errBuffer.append('\n');
        m_errBuffer.append(m_errTail);
        m_errTail.clear();
    }
    result.errorText = QString::fromUtf8(m_errBuffer);
    co_return result;
}

void Runner::consume(QByteArrayView chunk) {
    if (chunk.isEmpty()) return;
    deliver(m_splitter.feed(chunk));
}

void Runner::deliver(const QStringList& batch) {
    for (const QString& line : batch) {
        if (!line.startsWith(kProgressMarker)) m_lines.append(line);
    }
    if (!m_onLine) return;
    for (const QString& line : batch) m_onLine(line);
}

void Runner::collectError(const QByteArray& chunk) {
    // The cap is checked before appending, so one chunk may carry the buffer past it.
    if (m_errBuffer.size() < kStderrCap) {
        m_errBuffer.append(chunk);
        return;
    }
    m_errTail.append(chunk);
    // Trimmed in large steps, so a flood of small chunks costs no copy per chunk.
    if (m_errTail.size() > 2 * kStderrCap) {
        m_errTail.remove(0, m_errTail.size() - kStderrCap);
        m_errTailCut = true;
    }
}
