#pragma once

#include "core/cancel_token.h"
#include "net/net_response.h"
#include "net/problem.h"

#include <QCoro/QCoroTask>
#include <QJsonObject>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <exception>
#include <memory>

class QNetworkAccessManager;

// The Channels engine's one HTTP layer.
namespace Net {

// The browser-like agent of the Channels requests and the video download.
inline constexpr char kUserAgent[] =
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/148.0.0.0 Safari/537.36";
QString userAgent();

// The shared manager of the main thread, created on first use. It never stores or sends a
// cookie by itself and caches nothing: a request that needs cookies carries them as a header.
QNetworkAccessManager& session();

// Gives `manager` a jar that stores and sends nothing (NoCookieJar) and no cache.
void makeStateless(QNetworkAccessManager& manager);
// Belt and braces next to the manager's jar: `request` takes no cookie, leaves none, and its
// answer is not cached.
void makeStateless(QNetworkRequest& request);

// The largest reply send() accepts. The services answer with a few kilobytes of JSON; a reply
// beyond this is no answer of theirs, and buffering it whole took gigabytes.
inline constexpr qint64 kMaxReplyBytes = 4 * 1024 * 1024;

// Sends `request` with `verb` and `body` on session() and returns the whole body and status.
// Any status is returned; a transport failure throws the Problem of problem() for `service`,
// and a cancelled token throws Problem::cancelled(). A reply that announces or delivers more
// than kMaxReplyBytes is stopped as it streams in: Problem::apiChanged naming `service`. Main
// thread only.
QCoro::Task<Response> send(QNetworkRequest request, QByteArray verb, QByteArray body,
                           QString service, std::shared_ptr<CancelToken> cancel = nullptr);

// send() of a POST whose body is `body` as compact JSON, announced and accepted as JSON.
QCoro::Task<Response> postJson(QNetworkRequest request, QJsonObject body, QString service,
                               std::shared_ptr<CancelToken> cancel = nullptr);

// A Qt transport error as a Problem naming `service`. `cancelledByUs` tells an abort we asked
// for (the user cancelled) from one Qt made itself (its transfer time-out aborts the reply).
Problem problem(QNetworkReply::NetworkError error, const QString& errorText, const QString& service,
                bool cancelledByUs = false);
Problem problem(const QNetworkReply& reply, const QString& service, bool cancelledByUs = false);

// Any thrown value as a Problem: a Problem stays unchanged (the service named deeper down
// survives), a cancellation Failure becomes cancelled, anything else network with `service`,
// "：" and its text.
Problem problem(std::exception_ptr error, const QString& service);

// True when the reply failed below HTTP (no answer, or the connection broke mid-body), as
// opposed to an HTTP status that Qt also reports as an error.
bool isTransportError(const QNetworkReply& reply);

}  // namespace Net
