#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

// A real HTTP/1.1 server on 127.0.0.1 for tests, on its own threads (one accepting, one per
// connection), so the code under test talks to it through the ordinary network stack while the
// test's main thread runs the event loop. A handler sees each request (method, target, headers,
// body) and scripts the reply: status, headers, a body from memory or streamed from a file
// (with sendfile, so large files cost no memory), with or without Content-Length, stalling,
// resetting or closing the connection after some bytes. Every request is recorded for later checks.
// Each reply closes its connection ("Connection: close").
class HttpTestServer {
public:
    struct Request {
        QByteArray method;
        QByteArray target;  // path and query as sent, e.g. "/api/x?a=1"
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;

        QByteArray path() const;
        // The query items in order, names and values percent-decoded.
        QList<QPair<QString, QString>> queryItems() const;
        // The first header of that name, case-insensitively; nothing when absent.
        std::optional<QByteArray> header(QByteArrayView name) const;
        // How many headers of that name were sent.
        int headerCount(QByteArrayView name) const;
    };

    struct Reply {
        int status = 200;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        QString file;              // when set, the body is this file, streamed…
        qint64 fileOffset = 0;     // …from this byte…
        qint64 fileLength = -1;    // …this many bytes (to its end when negative)
        bool sendLength = true;    // without Content-Length, the body ends when the server closes
        qint64 stallAfter = -1;    // send this many body bytes, then keep the connection silent
        qint64 dropAfter = -1;     // send this many body bytes, then reset the connection
        qint64 closeAfter = -1;    // send this many body bytes, then close it in good order
        qint64 throttleBytes = 0;  // when > 0: send the body in pieces of this size…
        int throttleMs = 0;        // …with this pause between them

        static Reply json(const QByteArray& body, int status = 200);
        static Reply text(const QByteArray& body, int status = 200,
                          const QByteArray& type = "text/plain; charset=utf-8");
    };

    using Handler = std::function<Reply(const Request&)>;

    // Serves the files below `root` by path, as a plain web server does: a content type by the
    // file's suffix, one byte range ("Range: bytes=first-last") answered 206, 404 for anything
    // that is not a file below `root`.
    static Handler folder(const QString& root);

    explicit HttpTestServer(Handler handler = {});
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    // Replaces the handler for the requests that arrive from now on. Without a handler every
    // request gets 404.
    void setHandler(Handler handler);

    quint16 port() const { return m_port; }
    // "http://127.0.0.1:<port>".
    QString origin() const;
    QUrl url(const QString& pathAndQuery) const;

    QList<Request> requests() const;
    void clearRequests();

private:
    void acceptLoop();
    void serve(int socket);
    Handler handler() const;

    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_acceptor;
    mutable QMutex m_mutex;
    Handler m_handler;
    QList<Request> m_requests;
    std::vector<std::thread> m_connections;
};
