#pragma once

#include "channels/http_response.h"
#include "core/cancel_token.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

class QObject;

// One video file transfer: streams the body into "quorvin-<UUID>.mp4" in the temporary folder
// while it arrives, reporting progress. Any status is a completed transfer (a 404 page is
// downloaded like a video; Channels::save judges it). One object per transfer, with its own
// network manager, so transfers share no connection and no cookie.
//
// Memory stays bounded whatever the file size: Qt's read buffer is capped at kReadBufferSize
// (an unbounded buffer made a 1 GiB transfer take ~1 GiB of memory and run slower).
class FileDownload {
public:
    // (bytes written so far, total expected or -1 when the server sent no length). Called on
    // the main thread after every chunk.
    using Progress = std::function<void(qint64 written, qint64 total)>;

    struct Result {
        QString file;  // the temporary file, now the caller's to move or delete
        HttpResponse response;
    };

    static constexpr qint64 kReadBufferSize = 2 * 1024 * 1024;
    static constexpr std::chrono::milliseconds kDefaultTimeout{60'000};

    explicit FileDownload(Progress onProgress);
    ~FileDownload();
    FileDownload(const FileDownload&) = delete;
    FileDownload& operator=(const FileDownload&) = delete;

    // Fetches `url` (User-Agent Net::userAgent(), Referer the Channels web origin + "/").
    // Throws Problem: cancelled after cancel() or when `cancel` fires; network("视频服务器：…")
    // for a transport failure or a transfer silent for the time-out; disk("无法保存临时文件")
    // when the temporary file cannot be written. A failed run leaves no temporary file. Called
    // once, on the main thread; the object must outlive the returned task.
    QCoro::Task<Result> run(QUrl url, std::shared_ptr<CancelToken> cancel = nullptr);

    // Stops a running transfer so that run() throws cancelled. Any thread, any number of times;
    // does nothing before run() has started.
    void cancel();

    // How long the transfer may stay silent before it fails as timed out (60 s by default).
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

private:
    Progress m_onProgress;
    std::chrono::milliseconds m_timeout = kDefaultTimeout;
    // Receives the abort that cancel() posts from any thread; lives on the main thread and dies
    // with this object, which drops an abort still in flight.
    std::unique_ptr<QObject> m_context;
    struct Transfer;
    std::shared_ptr<Transfer> m_transfer;  // set while run() is going
    std::atomic<bool> m_started{false};
    std::atomic<bool> m_cancelRequested{false};
};
