#include "channels/file_download.h"

#include "channels/video_info.h"
#include "net/net.h"
#include "net/problem.h"
#include "support/app_paths.h"
#include "support/byte_count.h"
#include "support/names.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFuture>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QPromise>
#include <QThread>
#include <QTimer>
#include <QUuid>

#include <QCoro/QCoroFuture>

#include <exception>
#include <optional>

namespace {

const QString kService = QStringLiteral("视频服务器");

Problem cannotKeepTemporary() {
    return Problem::disk(QStringLiteral("无法保存临时文件"));
}

// The temporary file could not be created or written: the temporary folder failed (a full
// /tmp), not the Desktop, and the user is told so with the system's reason.
Problem temporaryFolderFailed(const QFile& file) {
    return Problem::temporaryDisk(AppPaths::temporary(), file.errorString());
}

// The server started the body and the connection ended before all of it came: whether Qt
// reports the reset or close as an error or finishes the reply quietly, it is the same fault,
// and the computer's network is not to blame.
Problem brokeOff(qint64 written, qint64 expected) {
    QString detail = kService + QStringLiteral("：传输中途断开");
    if (expected >= 0) {
        detail += QStringLiteral("（收到 ") + mb(written) + QStringLiteral("，应有 ") +
                  mb(expected) + QStringLiteral("）");
    }
    return Problem::network(detail);
}

// The first byte and the whole length of a 206 answer's "Content-Range: bytes A-B/T"; -1 for
// what it does not say.
std::pair<qint64, qint64> contentRange(const QByteArray& header) {
    const QByteArray value = header.trimmed();
    if (!value.startsWith("bytes ")) return {-1, -1};
    const qsizetype dash = value.indexOf('-');
    const qsizetype slash = value.indexOf('/');
    if (dash < 0 || slash < dash) return {-1, -1};
    bool firstOk = false;
    bool totalOk = false;
    const qint64 first = value.mid(6, dash - 6).trimmed().toLongLong(&firstOk);
    const qint64 total = value.mid(slash + 1).trimmed().toLongLong(&totalOk);
    return {firstOk ? first : -1, totalOk ? total : -1};
}

// Whether the server still has the file the kept part came from: the same ETag, or when none
// was given then, the same Last-Modified. Without either nothing tells, and nothing is trusted.
bool sameFile(const FileDownload::Validators& kept, const FileDownload::Validators& now) {
    if (!kept.etag.isEmpty()) return kept.etag == now.etag;
    if (!kept.lastModified.isEmpty()) return kept.lastModified == now.lastModified;
    return false;
}

QString newTemporaryPath() {
    return AppPaths::temporary() + u'/' + Names::temporaryPrefix() +
           QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(".mp4");
}

// The object on the transfers' thread that every transfer's network manager hangs from: posting
// to it runs code on that thread, and its children are the transfers still running.
QObject*& workerSlot() {
    static QObject* instance = nullptr;
    return instance;
}

// Runs while the application object is destroyed: the transfers still running are aborted
// (which removes their temporary files) and the thread ends before the objects it posts to do.
void stopWorker() {
    QObject* worker = std::exchange(workerSlot(), nullptr);
    if (!worker) return;
    QThread* thread = worker->thread();
    QMetaObject::invokeMethod(
        worker,
        [worker] {
            for (QNetworkReply* reply : worker->findChildren<QNetworkReply*>()) reply->abort();
        },
        Qt::BlockingQueuedConnection);
    thread->quit();
    thread->wait();
    delete worker;
    delete thread;
}

// One thread for all transfers. Measured with 50 parallel loopback transfers on two cores: one
// shared thread still moves ~600 MiB/s (far more than any real connection) and keeps the main
// thread's timer within a few milliseconds; a thread per transfer finished sooner but its 50 busy
// threads crowded the main thread out (p99 lateness ~30 ms) and took more memory. Main thread
// only, like run().
QObject* worker() {
    QObject*& slot = workerSlot();
    if (!slot) {
        auto* thread = new QThread;
        thread->setObjectName(QStringLiteral("quorvin-transfers"));
        slot = new QObject;
        slot->moveToThread(thread);
        thread->start();
        qAddPostRoutine(stopWorker);
    }
    return slot;
}

}  // namespace

// The state of one run, shared by the FileDownload (main thread) and the worker thread. Each
// field below says which thread may touch it.
struct FileDownload::Transfer : std::enable_shared_from_this<FileDownload::Transfer> {
    // Written before the transfer is posted to the worker, read there only.
    QNetworkRequest request;
    std::optional<Continuation> into;  // the caller's file, when the transfer is not temporary
    QObject* worker = nullptr;  // on the worker thread; also read by cancel() from any thread

    // Any thread.
    std::atomic<bool> cancelRequested{false};
    std::atomic<qint64> written{0};
    std::atomic<qint64> total{-1};

    // Main thread only.
    FileDownload* owner = nullptr;  // null once the FileDownload is gone
    bool finished = false;          // run() has resumed: later reports are dropped

    // Written by the worker thread before it finishes the promise, then read by the main thread
    // only: one of them is set. The promise carries no value, so that no copy of the Result (and
    // of its lease) stays behind in the future's result store.
    std::optional<Result> result;
    std::exception_ptr error;

    // Worker thread only. The promise finishes once, after the file has been kept or removed.
    QPromise<void> promise;
    QString path;
    std::unique_ptr<QFile> file;
    std::shared_ptr<TempFiles::Lease> lease;
    QPointer<QNetworkReply> reply;
    bool writeFailed = false;
    bool reportScheduled = false;
    bool decided = false;    // the answer's status has been judged (see decide())
    bool continued = false;  // a 206 continuing the kept part was accepted
    qint64 base = 0;         // bytes of the file that came before this answer's body
    QElapsedTimer sinceReport;

    void start();
    void abort();

private:
    void send();
    bool decide();
    void drain();
    void complete();
    void succeed(Result result);
    void fail(const Problem& problem);
    void reportProgress();
    void postReport();
    void deliver(qint64 writtenSoFar, qint64 expected);
};

void FileDownload::Transfer::start() {
    if (cancelRequested.load(std::memory_order_acquire)) return fail(Problem::cancelled());
    path = into ? into->file : newTemporaryPath();
    file = std::make_unique<QFile>(path);
    // NewOnly: a temporary file of that name (however unlikely) is never reused or truncated. A
    // kept file is opened as it is; the answer decides whether it is continued or replaced.
    const QIODevice::OpenMode mode =
        into ? QIODevice::ReadWrite | QIODevice::Unbuffered
             : QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered;
    if (!file->open(mode)) {
        const Problem problem = temporaryFolderFailed(*file);
        file.reset();
        return fail(problem);
    }
    // Leased from the moment it exists: another process's clean-up spares young files anyway.
    if (!into) lease = std::make_shared<TempFiles::Lease>(path);
    send();
}

void FileDownload::Transfer::send() {
    if (cancelRequested.load(std::memory_order_acquire)) return fail(Problem::cancelled());
    QNetworkRequest asked = request;
    if (into && into->offset > 0) {
        asked.setRawHeader("Range", "bytes=" + QByteArray::number(into->offset) + '-');
    }
    // A child of the worker object, so that stopWorker() finds its reply. Deleted later, never
    // during the reply's own finished signal.
    auto* manager = new QNetworkAccessManager(worker);
    // A video server has no business with the user's cookies.
    Net::makeStateless(*manager);
    reply = manager->get(asked);
    reply->setReadBufferSize(kReadBufferSize);
    // The connections keep this state alive until the reply is deleted.
    const std::shared_ptr<Transfer> self = shared_from_this();
    QObject::connect(reply, &QIODevice::readyRead, reply, [self] { self->drain(); });
    QObject::connect(reply, &QNetworkReply::finished, reply, [self] { self->complete(); });
}

void FileDownload::Transfer::abort() {
    if (reply && !reply->isFinished()) reply->abort();  // finishes it: complete() runs now
}

// Judges the answer once its headers are in. Returns false when it was dropped for a fresh
// request from zero (a 206 for another file than the kept part).
bool FileDownload::Transfer::decide() {
    decided = true;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    Validators seen;
    seen.etag = reply->rawHeader("ETag");
    seen.lastModified = reply->rawHeader("Last-Modified");
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    seen.total = length.isValid() ? length.toLongLong() : -1;
    if (into && into->offset > 0 && status == 206) {
        const auto [first, whole] = contentRange(reply->rawHeader("Content-Range"));
        seen.total = whole;
        if (first != into->offset || whole <= 0 || whole != into->kept.total ||
            !sameFile(into->kept, seen)) {
            // Not the file the kept part belongs to: ask for all of it. The dropped answer is
            // aborted later, outside its own signal.
            QNetworkReply* const dropped = reply;
            QObject::disconnect(dropped, nullptr, nullptr, nullptr);
            QTimer::singleShot(0, dropped, [dropped] {
                dropped->abort();
                dropped->manager()->deleteLater();
            });
            into->offset = 0;
            decided = false;
            reportScheduled = false;  // its timer was bound to the dropped answer
            file->resize(0);
            written.store(0, std::memory_order_relaxed);
            send();
            return false;
        }
        continued = true;
        base = into->offset;
    } else if (into) {
        base = 0;  // the whole file from its first byte: the kept part goes
    }
    if (into) {
        file->resize(base);
        file->seek(base);
        written.store(base, std::memory_order_relaxed);
        if (into->onStart && (status == 200 || continued)) into->onStart(seen);
    }
    return true;
}

void FileDownload::Transfer::drain() {
    if (!decided && !decide()) return;
    qint64 count = written.load(std::memory_order_relaxed);
    while (!writeFailed && reply->bytesAvailable() > 0) {
        // readAll() hands over Qt's own buffered chunk without copying it once more.
        const QByteArray chunk = reply->readAll();
        if (chunk.isEmpty()) break;
        qint64 put = file->write(chunk);
        // A write cut short (the disk filled up on the way) records no error: writing the rest
        // fails with the system's reason, which the user is told.
        if (put >= 0 && put < chunk.size()) {
            const qint64 more = file->write(chunk.sliced(put));
            if (more > 0) put += more;
        }
        if (put != chunk.size()) {
            // A full disk: stop the transfer instead of downloading into nothing. The abort is
            // posted rather than run inside the reply's own readyRead signal.
            writeFailed = true;
            QTimer::singleShot(0, reply, [pending = reply] {
                if (pending) pending->abort();
            });
            break;
        }
        count += chunk.size();
    }
    written.store(count, std::memory_order_relaxed);
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    total.store(length.isValid() ? base + length.toLongLong() : -1, std::memory_order_relaxed);
    reportProgress();
}

void FileDownload::Transfer::complete() {
    QNetworkReply* const finishedReply = reply;
    const bool transportError = Net::isTransportError(*finishedReply);
    // An answer without a body is judged here; one dropped for a fresh request ends nothing.
    if (!decided && !transportError && !writeFailed && !decide()) return;
    QObject::disconnect(finishedReply, &QIODevice::readyRead, nullptr, nullptr);
    if (!writeFailed && !transportError) drain();
    // Deletes the reply, its child, once its finished signal is over.
    finishedReply->manager()->deleteLater();
    reply = nullptr;

    if (writeFailed) return fail(temporaryFolderFailed(*file));
    const QVariant status = finishedReply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QVariant length = finishedReply->header(QNetworkRequest::ContentLengthHeader);
    // The whole file's length: a continuation's body is what came after the kept part.
    const qint64 expected = length.isValid() ? base + length.toLongLong() : -1;
    if (transportError) {
        if (status.isValid() && finishedReply->error() == QNetworkReply::RemoteHostClosedError) {
            return fail(brokeOff(written.load(std::memory_order_relaxed), expected));
        }
        return fail(Net::problem(*finishedReply, kService,
                                 cancelRequested.load(std::memory_order_acquire)));
    }
    // Qt sometimes ends a reply whose connection was reset or closed mid-body without an error:
    // only the count tells. The body is requested unencoded, so the count and the announced
    // length measure the same bytes.
    if (expected >= 0 && written.load(std::memory_order_relaxed) != expected) {
        return fail(brokeOff(written.load(std::memory_order_relaxed), expected));
    }
    if (!status.isValid()) return fail(cannotKeepTemporary());
    if (!file->flush()) return fail(temporaryFolderFailed(*file));
    file->close();
    file.reset();

    Result result;
    result.file = path;
    // The kept part and its continuation make the whole file, as a 200 would have.
    result.response.status = continued ? 200 : status.toInt();
    result.response.headers = finishedReply->rawHeaderPairs();
    result.response.url = finishedReply->url();
    result.lease = std::move(lease);
    succeed(std::move(result));
}

void FileDownload::Transfer::succeed(Result kept) {
    result = std::move(kept);
    promise.finish();
}

void FileDownload::Transfer::fail(const Problem& problem) {
    if (file) {
        file->close();
        file.reset();
        // A caller's file stays as far as it got: the caller keeps or deletes it.
        if (!into) QFile::remove(path);
    }
    lease.reset();  // after the removal: the file is never unleased and still there
    error = std::make_exception_ptr(problem);
    promise.finish();
}

void FileDownload::Transfer::reportProgress() {
    if (reportScheduled) return;  // the report on its way will carry the latest count
    const qint64 wait =
        sinceReport.isValid() ? kProgressInterval.count() - sinceReport.elapsed() : 0;
    if (wait <= 0) return postReport();
    reportScheduled = true;
    // Bound to the reply: once the transfer is over, the final report replaces this one.
    QTimer::singleShot(int(wait), reply, [self = shared_from_this()] {
        self->reportScheduled = false;
        self->postReport();
    });
}

void FileDownload::Transfer::postReport() {
    sinceReport.start();
    const qint64 writtenSoFar = written.load(std::memory_order_relaxed);
    const qint64 expected = total.load(std::memory_order_relaxed);
    // Posted to the application object, which outlives this thread (see stopWorker()); the weak
    // pointer lets a report arriving after the FileDownload is gone find nobody.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [weak = weak_from_this(), writtenSoFar, expected] {
            if (const std::shared_ptr<Transfer> self = weak.lock()) {
                self->deliver(writtenSoFar, expected);
            }
        },
        Qt::QueuedConnection);
}

void FileDownload::Transfer::deliver(qint64 writtenSoFar, qint64 expected) {
    if (!owner || finished || !owner->m_onProgress) return;
    owner->m_onProgress(writtenSoFar, expected);
}

FileDownload::FileDownload(Progress onProgress) : m_onProgress(std::move(onProgress)) {}

FileDownload::~FileDownload() {
    if (!m_transfer) return;
    m_transfer->owner = nullptr;
    if (!m_transfer->finished) cancel();
}

void FileDownload::cancel() {
    if (!m_started.load(std::memory_order_acquire)) return;
    m_transfer->cancelRequested.store(true, std::memory_order_release);
    // The reply belongs to the worker thread: abort it there. The abort is posted after the
    // transfer's start, so it never arrives before the reply exists.
    QMetaObject::invokeMethod(
        m_transfer->worker, [transfer = m_transfer] { transfer->abort(); }, Qt::QueuedConnection);
}

QCoro::Task<FileDownload::Result> FileDownload::run(QUrl url, std::shared_ptr<CancelToken> cancel) {
    return fetch(std::move(url), std::move(cancel), std::nullopt);
}

QCoro::Task<FileDownload::Result> FileDownload::run(QUrl url, std::shared_ptr<CancelToken> cancel,
                                                    Continuation into) {
    return fetch(std::move(url), std::move(cancel), std::move(into));
}

QCoro::Task<FileDownload::Result> FileDownload::fetch(QUrl url, std::shared_ptr<CancelToken> cancel,
                                                      std::optional<Continuation> into) {
    if (cancel && cancel->isCancelled()) throw Problem::cancelled();

    QNetworkRequest request(url);
    request.setTransferTimeout(int(m_timeout.count()));
    request.setRawHeader("User-Agent", Net::kUserAgent);
    request.setRawHeader("Referer", (Channels::webOrigin() + QLatin1Char('/')).toUtf8());
    // The bytes as stored, never compressed: Qt would unpack a compressed body on the fly, and
    // then neither a body cut short nor the announced length could be checked.
    request.setRawHeader("Accept-Encoding", "identity");
    Net::makeStateless(request);

    const auto transfer = std::make_shared<Transfer>();
    transfer->request = request;
    transfer->into = std::move(into);
    transfer->worker = worker();
    transfer->owner = this;
    transfer->promise.start();
    const QFuture<void> done = transfer->promise.future();
    m_transfer = transfer;
    QMetaObject::invokeMethod(
        transfer->worker, [transfer] { transfer->start(); }, Qt::QueuedConnection);
    m_started.store(true, std::memory_order_release);
    CancelScope scope(cancel, [this] { this->cancel(); });

    // Reports posted before the worker finished the promise arrive before this resumes; any
    // later one is dropped.
    co_await done;
    transfer->finished = true;
    if (transfer->error) std::rethrow_exception(transfer->error);
    Result result = std::move(*transfer->result);
    transfer->result.reset();
    if (m_onProgress) {
        m_onProgress(transfer->written.load(std::memory_order_relaxed),
                     transfer->total.load(std::memory_order_relaxed));
    }
    co_return result;
}
