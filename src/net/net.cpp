#include "net/net.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include "net/no_cookie_jar.h"
#include "support/byte_count.h"
#include "support/safe_text.h"

#include <QJsonDocument>
#include <QPointer>

#include <QCoro/QCoroNetworkReply>

#include <exception>
#include <stdexcept>

namespace {

// Qt's transport errors and the user-facing cause they stand for. Order matters only for
// reading: each error appears once.
struct Cause {
    QNetworkReply::NetworkError error;
    const char16_t* suffix;
};

constexpr char16_t kOffline[] = u"：电脑没有联网";
constexpr char16_t kTimedOut[] = u"：连接超时";
constexpr char16_t kNoHost[] = u"：找不到服务器";
constexpr char16_t kTls[] = u"：安全连接失败，可能被代理软件拦截";

constexpr Cause kCauses[] = {
    // No usable network at all, or the connection broke off mid-transfer.
    {QNetworkReply::NetworkSessionFailedError, kOffline},
    {QNetworkReply::TemporaryNetworkFailureError, kOffline},
    {QNetworkReply::BackgroundRequestNotAllowedError, kOffline},
    {QNetworkReply::RemoteHostClosedError, kOffline},
    {QNetworkReply::TimeoutError, kTimedOut},
    {QNetworkReply::HostNotFoundError, kNoHost},
    // Qt folds every certificate complaint (untrusted, expired, not yet valid, unknown root)
    // into one handshake error.
    {QNetworkReply::SslHandshakeFailedError, kTls},
};

}  // namespace

namespace Net {

QString userAgent() {
    return QString::fromLatin1(kUserAgent);
}

QNetworkAccessManager& session() {
    // Main-thread object, created on first use and kept for the whole run.
    static QNetworkAccessManager* manager = [] {
        auto* created = new QNetworkAccessManager(QCoreApplication::instance());
        makeStateless(*created);
        return created;
    }();
    return *manager;
}

void makeStateless(QNetworkAccessManager& manager) {
    manager.setCookieJar(new NoCookieJar(&manager));
    manager.setCache(nullptr);
}

void makeStateless(QNetworkRequest& request) {
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
}

bool isTransportError(const QNetworkReply& reply) {
    const QNetworkReply::NetworkError error = reply.error();
    if (error == QNetworkReply::NoError) return false;
    // 1–99 are connection-level errors and 101–199 proxy errors: whatever status may have
    // arrived, the body did not. Everything else Qt reports is its reading of an HTTP status.
    if (int(error) < 200) return true;
    return !reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
}

Problem problem(QNetworkReply::NetworkError error, const QString& errorText, const QString& service,
                bool cancelledByUs) {
    if (error == QNetworkReply::OperationCanceledError) {
        // Only two things abort a reply: our cancel, and Qt's own transfer time-out.
        return cancelledByUs ? Problem::cancelled()
                             : Problem::network(service + QString::fromUtf16(kTimedOut));
    }
    for (const Cause& cause : kCauses) {
        if (cause.error == error)
            return Problem::network(service + QString::fromUtf16(cause.suffix));
    }
    // Qt's text may quote the server (a proxy's reason phrase): kept short and on one line.
    return Problem::network(service + QStringLiteral("：") + SafeText::excerpt(errorText));
}

Problem problem(const QNetworkReply& reply, const QString& service, bool cancelledByUs) {
    return problem(reply.error(), reply.errorString(), service, cancelledByUs);
}

Problem problem(std::exception_ptr error, const QString& service) {
    try {
        std::rethrow_exception(error);
    } catch (const Problem& problem) {
        return problem;
    } catch (const Failure& failure) {
        if (failure.isCancel) return Problem::cancelled();
        return Problem::network(service + QStringLiteral("：") + failure.title);
    } catch (const std::exception& other) {
        return Problem::network(service + QStringLiteral("：") +
                                QString::fromLocal8Bit(other.what()));
    } catch (...) {
        return Problem::network(service + QStringLiteral("：未知错误"));
    }
}

QCoro::Task<Response> send(QNetworkRequest request, QByteArray verb, QByteArray body,
                           QString service, std::shared_ptr<CancelToken> cancel) {
    if (cancel && cancel->isCancelled()) throw Problem::cancelled();
    makeStateless(request);

    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply*)> reply(
        session().sendCustomRequest(request, verb, body),
        [](QNetworkReply* r) { r->deleteLater(); });
    bool cancelledByUs = false;
    QPointer<QNetworkReply> weak(reply.get());
    bool* flag = &cancelledByUs;
    // The token may be cancelled from any thread; the abort itself must run on the reply's
    // thread, and only while the reply still exists. Aborting resumes the awaiting frame.
    CancelScope scope(cancel, [weak, flag] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [weak, flag] {
                if (!weak || weak->isFinished()) return;
                *flag = true;
                weak->abort();
            },
            Qt::QueuedConnection);
    });
    QNetworkReply* pending = reply.get();
    // Never more than the bound in memory: Qt stops reading once its buffer is full, and the
    // reply is stopped as soon as the announced length or the data that came exceeds it.
    pending->setReadBufferSize(kMaxReplyBytes + 1);
    bool tooLarge = false;
    const auto stopIfTooLarge = [pending, &tooLarge](qint64 size) {
        if (size <= kMaxReplyBytes || tooLarge) return;
        tooLarge = true;
        // Not inside the reply's own signal; the frame is still suspended when this runs.
        QMetaObject::invokeMethod(
            pending,
            [pending] {
                if (!pending->isFinished()) pending->abort();
            },
            Qt::QueuedConnection);
    };
    const QMetaObject::Connection announced = QObject::connect(
        pending, &QNetworkReply::metaDataChanged, pending, [pending, stopIfTooLarge] {
            const QVariant length = pending->header(QNetworkRequest::ContentLengthHeader);
            if (length.isValid()) stopIfTooLarge(length.toLongLong());
        });
    const QMetaObject::Connection arrived =
        QObject::connect(pending, &QIODevice::readyRead, pending,
                         [pending, stopIfTooLarge] { stopIfTooLarge(pending->bytesAvailable()); });
    co_await pending;
    // They refer to this frame, which may end before the reply is deleted.
    QObject::disconnect(announced);
    QObject::disconnect(arrived);

    if (tooLarge && !cancelledByUs) {
        throw Problem::apiChanged(service + QStringLiteral("返回的内容超过 ") + mb(kMaxReplyBytes) +
                                  QStringLiteral("，已停止接收"));
    }
    if (isTransportError(*reply)) throw problem(*reply, service, cancelledByUs);
    Response response;
    response.body = reply->readAll();
    response.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    co_return response;
}

QCoro::Task<Response> postJson(QNetworkRequest request, QJsonObject body, QString service,
                               std::shared_ptr<CancelToken> cancel) {
    request.setRawHeader("Content-Type", "application/json");
    request.setRawHeader("Accept", "application/json, text/plain, */*");
    const QByteArray payload = QJsonDocument(body).toJson(QJsonDocument::Compact);
    co_return co_await send(std::move(request), QByteArrayLiteral("POST"), payload,
                            std::move(service), std::move(cancel));
}

}  // namespace Net
