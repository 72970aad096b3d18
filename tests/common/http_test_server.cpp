#include "common/http_test_server.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrlQuery>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace {

constexpr int kPollMs = 50;

// The content type an ordinary web server gives a file of this suffix.
QByteArray contentType(const QString& path) {
    static const QList<QPair<QString, QByteArray>> types = {
        {QStringLiteral("html"), "text/html"},
        {QStringLiteral("mp4"), "video/mp4"},
        {QStringLiteral("m4a"), "audio/mp4"},
        {QStringLiteral("webm"), "video/webm"},
        {QStringLiteral("mpd"), "application/dash+xml"},
        {QStringLiteral("m3u8"), "application/vnd.apple.mpegurl"},
        {QStringLiteral("ts"), "video/mp2t"},
        {QStringLiteral("json"), "application/json"},
        {QStringLiteral("jpg"), "image/jpeg"},
    };
    const QString suffix = QFileInfo(path).suffix().toLower();
    for (const auto& [known, type] : types) {
        if (suffix == known) return type;
    }
    return "application/octet-stream";
}

QByteArray reasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 206:
            return "Partial Content";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 410:
            return "Gone";
        case 416:
            return "Range Not Satisfiable";
        case 500:
            return "Internal Server Error";
        default:
            return "Status";
    }
}

// Writes everything unless the server stops or the peer goes away. The socket has a send
// time-out, so a peer that stops reading cannot hold a stopping server.
bool sendAll(int socket, const char* data, qint64 size, const std::atomic<bool>& stopping) {
    while (size > 0) {
        const ssize_t sent = ::send(socket, data, size_t(size), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) continue;
            if ((errno == EAGAIN || errno == EWOULDBLOCK) && !stopping) continue;
            return false;
        }
        data += sent;
        size -= sent;
    }
    return true;
}

bool sendFileRange(int socket, int file, qint64 offset, qint64 count,
                   const std::atomic<bool>& stopping) {
    off_t position = off_t(offset);
    while (count > 0) {
        const ssize_t sent =
            ::sendfile(socket, file, &position, size_t(qMin<qint64>(count, 1 << 30)));
        if (sent < 0) {
            if (errno == EINTR) continue;
            if ((errno == EAGAIN || errno == EWOULDBLOCK) && !stopping) continue;
            return false;
        }
        if (sent == 0) return false;
        count -= sent;
    }
    return true;
}

// Waits until the peer closes or the server stops, reading and dropping whatever arrives.
void holdSilently(int socket, const std::atomic<bool>& stopping) {
    char sink[4096];
    while (!stopping) {
        pollfd entry{socket, POLLIN, 0};
        const int ready = ::poll(&entry, 1, kPollMs);
        if (ready < 0 && errno != EINTR) return;
        if (ready > 0) {
            const ssize_t got = ::recv(socket, sink, sizeof sink, 0);
            if (got <= 0) return;
        }
    }
}

// Reads one request; false when the peer went away or the server stops first.
bool readRequest(int socket, HttpTestServer::Request* request, const std::atomic<bool>& stopping) {
    QByteArray data;
    qsizetype headerEnd = -1;
    qint64 bodyLength = 0;
    char chunk[65536];
    for (;;) {
        if (headerEnd < 0) {
            headerEnd = data.indexOf("\r\n\r\n");
            if (headerEnd >= 0) {
                const QList<QByteArray> lines = data.left(headerEnd).split('\n');
                const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
                request->method = first.value(0);
                request->target = first.value(1);
                for (qsizetype i = 1; i < lines.size(); ++i) {
                    const QByteArray line = lines[i].trimmed();
                    const qsizetype colon = line.indexOf(':');
                    if (colon <= 0) continue;
                    request->headers.append(
                        {line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
                }
                bodyLength = request->header("Content-Length").value_or("0").toLongLong();
            }
        }
        if (headerEnd >= 0 && data.size() - (headerEnd + 4) >= bodyLength) {
            request->body = data.mid(headerEnd + 4, bodyLength);
            return true;
        }
        if (stopping) return false;
        pollfd entry{socket, POLLIN, 0};
        const int ready = ::poll(&entry, 1, kPollMs);
        if (ready < 0 && errno != EINTR) return false;
        if (ready <= 0) continue;
        const ssize_t got = ::recv(socket, chunk, sizeof chunk, 0);
        if (got <= 0) return false;
        data.append(chunk, got);
    }
}

}  // namespace

QByteArray HttpTestServer::Request::path() const {
    const qsizetype question = target.indexOf('?');
    return question < 0 ? target : target.left(question);
}

QList<QPair<QString, QString>> HttpTestServer::Request::queryItems() const {
    const qsizetype question = target.indexOf('?');
    if (question < 0) return {};
    return QUrlQuery(QString::fromUtf8(target.mid(question + 1))).queryItems(QUrl::FullyDecoded);
}

std::optional<QByteArray> HttpTestServer::Request::header(QByteArrayView name) const {
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) return value;
    }
    return std::nullopt;
}

int HttpTestServer::Request::headerCount(QByteArrayView name) const {
    int count = 0;
    for (const auto& pair : headers) count += pair.first.compare(name, Qt::CaseInsensitive) == 0;
    return count;
}

HttpTestServer::Reply HttpTestServer::Reply::json(const QByteArray& body, int status) {
    Reply reply;
    reply.status = status;
    reply.headers = {{"Content-Type", "application/json"}};
    reply.body = body;
    return reply;
}

HttpTestServer::Reply HttpTestServer::Reply::text(const QByteArray& body, int status,
                                                  const QByteArray& type) {
    Reply reply;
    reply.status = status;
    reply.headers = {{"Content-Type", type}};
    reply.body = body;
    return reply;
}

HttpTestServer::Handler HttpTestServer::folder(const QString& root) {
    const QString base = QDir::cleanPath(root);
    return [base](const Request& request) {
        const QString relative = QUrl::fromPercentEncoding(request.path());
        const QString path = QDir::cleanPath(base + QLatin1Char('/') + relative);
        const QFileInfo info(path);
        if (!path.startsWith(base + QLatin1Char('/')) || !info.isFile())
            return Reply::text("not found", 404);
        Reply reply;
        reply.headers = {{"Content-Type", contentType(path)}, {"Accept-Ranges", "bytes"}};
        reply.file = path;
        const qint64 size = info.size();
        const std::optional<QByteArray> range = request.header("Range");
        if (!range || !range->startsWith("bytes=") || range->contains(',')) return reply;
        const QByteArray spec = range->mid(6);
        const qsizetype dash = spec.indexOf('-');
        if (dash < 0) return reply;
        bool firstOk = false, lastOk = false;
        qint64 first = spec.left(dash).toLongLong(&firstOk);
        qint64 last = spec.mid(dash + 1).toLongLong(&lastOk);
        if (!firstOk && !lastOk) return reply;
        if (!firstOk) {  // "-n": the last n bytes
            first = qMax<qint64>(0, size - last);
            last = size - 1;
        } else if (!lastOk) {  // "first-": to the end
            last = size - 1;
        }
        if (first >= size) return Reply::text("", 416);
        last = qMin(last, size - 1);
        reply.status = 206;
        reply.fileOffset = first;
        reply.fileLength = last - first + 1;
        reply.headers.append({"Content-Range", "bytes " + QByteArray::number(first) + '-' +
                                                   QByteArray::number(last) + '/' +
                                                   QByteArray::number(size)});
        return reply;
    };
}

HttpTestServer::HttpTestServer(Handler handler) : m_handler(std::move(handler)) {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 64) != 0) {
        qFatal("HttpTestServer: cannot listen on 127.0.0.1: %s", strerror(errno));
    }
    socklen_t length = sizeof address;
    ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
}

HttpTestServer::~HttpTestServer() {
    m_stopping = true;
    m_acceptor.join();
    ::close(m_listener);
    std::vector<std::thread> connections;
    {
        QMutexLocker lock(&m_mutex);
        connections.swap(m_connections);
    }
    for (std::thread& connection : connections) connection.join();
}

void HttpTestServer::setHandler(Handler handler) {
    QMutexLocker lock(&m_mutex);
    m_handler = std::move(handler);
}

HttpTestServer::Handler HttpTestServer::handler() const {
    QMutexLocker lock(&m_mutex);
    return m_handler;
}

QString HttpTestServer::origin() const {
    return QStringLiteral("http://127.0.0.1:") + QString::number(m_port);
}

QUrl HttpTestServer::url(const QString& pathAndQuery) const {
    return QUrl(origin() + pathAndQuery);
}

QList<HttpTestServer::Request> HttpTestServer::requests() const {
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

void HttpTestServer::clearRequests() {
    QMutexLocker lock(&m_mutex);
    m_requests.clear();
}

void HttpTestServer::acceptLoop() {
    while (!m_stopping) {
        pollfd entry{m_listener, POLLIN, 0};
        if (::poll(&entry, 1, kPollMs) <= 0) continue;
        const int socket = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0) continue;
        timeval timeout{0, 200'000};
        ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        QMutexLocker lock(&m_mutex);
        m_connections.emplace_back([this, socket] { serve(socket); });
    }
}

void HttpTestServer::serve(int socket) {
    Request request;
    if (!readRequest(socket, &request, m_stopping)) {
        ::close(socket);
        return;
    }
    {
        QMutexLocker lock(&m_mutex);
        m_requests.append(request);
    }
    const Handler current = handler();
    const Reply reply = current ? current(request) : Reply::text("no handler", 404);

    int file = -1;
    qint64 bodySize = reply.body.size();
    if (!reply.file.isEmpty()) {
        file = ::open(QFile::encodeName(reply.file).constData(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        if (file < 0 || ::fstat(file, &info) != 0)
            qFatal("HttpTestServer: cannot open %s", qPrintable(reply.file));
        bodySize = reply.fileLength >= 0 ? reply.fileLength : info.st_size - reply.fileOffset;
    }

    QByteArray head =
        "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
    for (const auto& [name, value] : reply.headers) head += name + ": " + value + "\r\n";
    if (reply.sendLength) head += "Content-Length: " + QByteArray::number(bodySize) + "\r\n";
    head += "Connection: close\r\n\r\n";

    bool open = sendAll(socket, head.constData(), head.size(), m_stopping);
    qint64 limit = bodySize;
    if (reply.stallAfter >= 0) limit = qMin(limit, reply.stallAfter);
    if (reply.dropAfter >= 0) limit = qMin(limit, reply.dropAfter);
    if (reply.closeAfter >= 0) limit = qMin(limit, reply.closeAfter);
    const qint64 piece = reply.throttleBytes > 0 ? reply.throttleBytes : limit;
    for (qint64 offset = 0; open && offset < limit;) {
        const qint64 count = qMin(piece, limit - offset);
        open = file >= 0 ? sendFileRange(socket, file, reply.fileOffset + offset, count, m_stopping)
                         : sendAll(socket, reply.body.constData() + offset, count, m_stopping);
        offset += count;
        if (open && reply.throttleMs > 0 && offset < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(reply.throttleMs));
        }
        if (m_stopping) open = false;
    }
    if (file >= 0) ::close(file);

    if (open && reply.stallAfter >= 0) {
        holdSilently(socket, m_stopping);
    } else if (open && reply.dropAfter >= 0) {
        // A reset rather than an orderly close: the connection breaks off mid-body.
        const linger abrupt{1, 0};
        ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &abrupt, sizeof abrupt);
    } else if (open) {
        // Orderly end: the client sees the whole body, then the close.
        ::shutdown(socket, SHUT_WR);
        holdSilently(socket, m_stopping);
    }
    ::close(socket);
}
