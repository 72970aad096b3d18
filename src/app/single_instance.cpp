#include "app/single_instance.h"

#include "core/link_handoff.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#include <unistd.h>

namespace {

constexpr char kShow[] = "show\n";
constexpr char kShown[] = "ok\n";
// The longest request line: "open " and a base64 text of the largest size handed over.
constexpr qint64 kMaxLine = 16 + (LinkHandoff::kMaxBytes + 2) / 3 * 4;

}  // namespace

SingleInstance::SingleInstance(QString folder, QObject* parent)
    : QObject(parent), m_folder(std::move(folder)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) return runtime;
    return QDir::tempPath() + QStringLiteral("/quorvin-") + QString::number(::getuid());
}

QString SingleInstance::lockPath() const {
    return m_folder + QStringLiteral("/quorvin.lock");
}

QString SingleInstance::socketPath() const {
    return m_folder + QStringLiteral("/quorvin.socket");
}

bool SingleInstance::claim() {
    if (!QFileInfo(m_folder).isDir()) {
        // The fallback folder in the shared temporary folder is the user's alone.
        QDir().mkpath(m_folder);
        QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    m_lock = std::make_unique<QLockFile>(lockPath());
    // Only a dead owner makes the lock stale, never its age: the app runs for days.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        m_lock.reset();
        return false;
    }
    // Holding the lock, any socket file left here belongs to a copy that died.
    QLocalServer::removeServer(socketPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onConnection);
    m_server->listen(socketPath());
    return true;
}

void SingleInstance::onConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // Anyone of this user may connect: each line is read within a bound, and an overlong
        // one ends the connection with an answer.
        socket->setReadBufferSize(kMaxLine + 1);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                socket->write(answer(socket->readLine(kMaxLine + 1)));
            }
            if (socket->bytesAvailable() > kMaxLine) {
                socket->write("error 内容太长：一次最多 64 KiB\n");
                socket->disconnectFromServer();
            }
            socket->flush();
        });
    }
}

QByteArray SingleInstance::answer(const QByteArray& line) {
    if (line == kShow) {
        Q_EMIT showRequested();
        return kShown;
    }
    if (!line.startsWith("open ") || !line.endsWith('\n')) return "error 消息格式不对\n";
    const auto text = LinkHandoff::decode(line.mid(5).chopped(1));
    const auto links = std::holds_alternative<QByteArray>(text)
                           ? LinkHandoff::links(std::get<QByteArray>(text))
                           : std::variant<QList<QUrl>, QString>(std::get<QString>(text));
    if (const auto* refusal = std::get_if<QString>(&links)) {
        return "error " + refusal->toUtf8() + '\n';
    }
    Q_EMIT linksReceived(std::get<QList<QUrl>>(links));
    return kShown;
}

QByteArray SingleInstance::request(const QByteArray& line, std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    const auto remaining = [&] { return int(std::max<qint64>(1, deadline.remainingTime())); };
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(remaining())) {
            socket.write(line);
            socket.waitForBytesWritten(remaining());
            while (!socket.canReadLine() && socket.waitForReadyRead(remaining())) {
            }
            if (socket.canReadLine()) return socket.readLine(kMaxLine);
        }
        // The running copy may hold the lock but not listen yet.
        QThread::msleep(50);
    }
    return {};
}

bool SingleInstance::askRunningToShow(std::chrono::milliseconds timeout) {
    return request(kShow, timeout) == kShown;
}

QString SingleInstance::handLinksToRunning(const QByteArray& text,
                                           std::chrono::milliseconds timeout) {
    const QByteArray reply = request(LinkHandoff::encode(text) + '\n', timeout);
    if (reply == kShown) return {};
    if (reply.startsWith("error ")) return QString::fromUtf8(reply.mid(6)).trimmed();
    return QStringLiteral("正在运行的 Quorvin 没有回应");
}
