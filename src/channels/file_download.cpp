#include "channels/file_download.h"

#include "channels/net.h"
#include "channels/problem.h"
#include "channels/video_info.h"
#include "support/app_paths.h"

#include <QCoreApplication>
#include <QFile>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>
#include <QUuid>

#include <QCoro/QCoroNetworkReply>

namespace {

const QString kService = QStringLiteral("视频服务器");

Problem cannotKeepTemporary() {
    return Problem::disk(QStringLiteral("无法保存临时文件"));
}

QString newTemporaryPath() {
    return AppPaths::temporary() + QStringLiteral("/quorvin-") +
           QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(".mp4");
}

}  // namespace

struct FileDownload::Transfer {
    QPointer<QNetworkReply> reply;
};

FileDownload::FileDownload(Progress onProgress)
    : m_onProgress(std::move(onProgress)), m_context(std::make_unique<QObject>()) {}

FileDownload::~FileDownload() = default;

void FileDownload::cancel() {
    if (!m_started.load(std::memory_order_acquire)) return;
    m_cancelRequested.store(true, std::memory_order_release);
    // The reply belongs to the main thread: abort it there. Aborting finishes the reply, which
    // resumes run() with OperationCanceledError.
    QMetaObject::invokeMethod(
        m_context.get(),
        [this] {
            if (m_transfer && m_transfer->reply && !m_transfer->reply->isFinished()) {
                m_transfer->reply->abort();
            }
        },
        Qt::QueuedConnection);
}

QCoro::Task<FileDownload::Result> FileDownload::run(QUrl url, std::shared_ptr<CancelToken> cancel) {
    if (cancel && cancel->isCancelled()) throw Problem::cancelled();

    const QString temporary = newTemporaryPath();
    QFile file(temporary);
    // NewOnly: a file of that name (however unlikely) is never reused or truncated.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        throw cannotKeepTemporary();
    }
    bool keep = false;
    auto removeTemporary = qScopeGuard([&] {
        file.close();
        if (!keep) QFile::remove(temporary);
    });

    QNetworkRequest request(url);
    request.setTransferTimeout(int(m_timeout.count()));
    request.setRawHeader("User-Agent", Net::kUserAgent);
    request.setRawHeader("Referer", (Channels::webOrigin() + QLatin1Char('/')).toUtf8());

    // Deleted later, never here: run() resumes inside the reply's finished signal, and a sender
    // must not be destroyed while it emits. The reply is the manager's child.
    auto* manager = new QNetworkAccessManager;
    auto releaseManager = qScopeGuard([manager] { manager->deleteLater(); });
    QNetworkReply* pending = manager->get(request);
    pending->setReadBufferSize(kReadBufferSize);
    m_transfer = std::make_shared<Transfer>(Transfer{pending});
    m_started.store(true, std::memory_order_release);
    CancelScope scope(cancel, [this] { this->cancel(); });

    qint64 written = 0;
    bool writeFailed = false;
    const auto drain = [&] {
        while (!writeFailed && pending->bytesAvailable() > 0) {
            // readAll() hands over Qt's own buffered chunk without copying it once more.
            const QByteArray chunk = pending->readAll();
            if (chunk.isEmpty()) break;
            if (file.write(chunk) != chunk.size()) {
                // A full disk: stop the transfer instead of downloading into nothing. The abort
                // is posted, since aborting here would resume run() inside this very slot.
                writeFailed = true;
                QTimer::singleShot(0, pending, [pending] { pending->abort(); });
                return;
            }
            written += chunk.size();
        }
        const QVariant length = pending->header(QNetworkRequest::ContentLengthHeader);
        if (m_onProgress) m_onProgress(written, length.isValid() ? length.toLongLong() : -1);
    };
    QObject::connect(pending, &QIODevice::readyRead, m_context.get(), drain);

    co_await pending;
    QObject::disconnect(pending, nullptr, m_context.get(), nullptr);
    if (!writeFailed && !Net::isTransportError(*pending)) drain();
    m_transfer.reset();

    if (writeFailed) throw cannotKeepTemporary();
    if (Net::isTransportError(*pending)) {
        throw Net::problem(*pending, kService, m_cancelRequested.load(std::memory_order_acquire));
    }
    const QVariant status = pending->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) throw cannotKeepTemporary();
    if (!file.flush()) throw cannotKeepTemporary();

    Result result;
    result.file = temporary;
    result.response.status = status.toInt();
    result.response.headers = pending->rawHeaderPairs();
    result.response.url = pending->url();
    keep = true;
    co_return result;
}
