#pragma once

#include "core/cancel_token.h"
#include "net/http_response.h"
#include "support/temp_files.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// One video file transfer: streams the body into "quorvin-<UUID>.mp4" in the temporary folder
// (or into the caller's kept file, see Continuation) while it arrives, reporting progress. Any
// status is a completed transfer (a 404 page is downloaded like a video; Channels::save judges it).
// One object per transfer, with its own network manager that neither sends nor keeps a cookie and
// caches nothing, so transfers share no connection and no cookie.
//
// Threading: the network manager, the reply and the file writes of every transfer live on one
// shared worker thread (started on first use, stopped when the application object is
// destroyed), so neither Qt's per-chunk signals nor the disk writes of many parallel transfers
// ever run on the main thread. The main thread only starts the transfer, receives the coalesced
// progress reports and resumes run() once the worker is done.
//
// Memory stays bounded whatever the file size: Qt's read buffer is capped at kReadBufferSize
// (an unbounded buffer made a 1 GiB transfer take ~1 GiB of memory and run slower). Each transfer
// holds a few times that (Qt keeps about as much again on its own network thread), so the cap
// is what 50 parallel transfers cost: 256 KiB kept them under ~100 MiB in all, where 2 MiB took
// ~380 MiB and ran slower, and a single transfer still keeps pace with curl.
class FileDownload {
public:
    // (bytes written so far, total expected or -1 when the server sent no length). Called on
    // the main thread, at most about once per kProgressInterval with the latest count (a report
    // per chunk flooded the main loop with 50 transfers running), and once more with the full
    // count before a successful run() completes. Never called after run() has completed.
    using Progress = std::function<void(qint64 written, qint64 total)>;

    struct Result {
        QString file;  // the temporary file, now the caller's to move or delete
        HttpResponse response;
        // The lease that keeps start-up clean-up of another Quorvin process (the tray app and
        // quorvin-cli may run together) away from `file`. Shared by every copy of the Result and
        // released with the last one: keep a copy until the file has been moved or removed.
        std::shared_ptr<const TempFiles::Lease> lease;
    };

    // What the server said about the whole file: a continuation is only accepted for the same
    // file, which these identify.
    struct Validators {
        qint64 total = -1;  // the whole length (-1: not announced)
        QByteArray etag;
        QByteArray lastModified;
    };

    // A transfer into a file the caller keeps (the item's partial data) instead of a temporary
    // file: a failed or cancelled run leaves the file as far as it got, for the caller to keep
    // or delete. With `offset` > 0 the bytes from there on are asked for ("Range"), and taken only
    // when the server answers 206 for that offset with the same total length and the same ETag
    // (or, without one, the same Last-Modified) as `kept`; a 206 that does not match is dropped
    // and the file fetched again from zero; any other answer (200) replaces the kept part.
    struct Continuation {
        QString file;
        qint64 offset = 0;
        Validators kept;
        // Called on the transfers' thread once the server's answer is taken, before its body is
        // written: what identifies the file, for a later continuation. Only for a 200 or an
        // accepted 206.
        std::function<void(const Validators&)> onStart;
    };

    static constexpr qint64 kReadBufferSize = 256 * 1024;
    static constexpr std::chrono::milliseconds kDefaultTimeout{60'000};
    static constexpr std::chrono::milliseconds kProgressInterval{100};

    explicit FileDownload(Progress onProgress);
    // Stops a transfer still running (its temporary file is removed); no report follows.
    ~FileDownload();
    FileDownload(const FileDownload&) = delete;
    FileDownload& operator=(const FileDownload&) = delete;

    // Fetches `url` (User-Agent Net::userAgent(), Referer the Channels web origin + "/").
    // Throws Problem: cancelled after cancel() or when `cancel` fires; network("视频服务器：…")
    // for a transport failure or a transfer silent for the time-out; disk("无法保存临时文件")
    // when the temporary file cannot be written. A failed run leaves no temporary file; the
    // file of a successful run is leased (see Result::lease). Called once, on the main thread,
    // where the task also resumes; the object must outlive the returned task.
    QCoro::Task<Result> run(QUrl url, std::shared_ptr<CancelToken> cancel = nullptr);
    // The same into the caller's file (see Continuation). Result::lease is empty: the caller's
    // own lease covers the file. An accepted continuation reports status 200: the file is whole.
    QCoro::Task<Result> run(QUrl url, std::shared_ptr<CancelToken> cancel, Continuation into);

    // Stops a running transfer so that run() throws cancelled. Any thread, any number of times;
    // does nothing before run() has started.
    void cancel();

    // How long the transfer may stay silent before it fails as timed out (60 s by default).
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

private:
    struct Transfer;

    QCoro::Task<Result> fetch(QUrl url, std::shared_ptr<CancelToken> cancel,
                              std::optional<Continuation> into);

    Progress m_onProgress;
    std::chrono::milliseconds m_timeout = kDefaultTimeout;
    // Set once by run(), before m_started, and kept: cancel() reads it from any thread.
    std::shared_ptr<Transfer> m_transfer;
    std::atomic<bool> m_started{false};
};
