#include "app/single_instance.h"

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
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                if (socket->readLine() == kShow) {
                    Q_EMIT showRequested();
                    socket->write(kShown);
                    socket->flush();
                }
            }
        });
    }
}

bool SingleInstance::askRunningToShow(std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(int(std::max<qint64>(1, deadline.remainingTime())))) {
            socket.write(kShow);
            socket.waitForBytesWritten(int(std::max<qint64>(1, deadline.remainingTime())));
            while (!socket.canReadLine() &&
                   socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())))) {
            }
            if (socket.canReadLine() && socket.readLine() == kShown) return true;
        }
        // The running copy may hold the lock but not listen yet.
        QThread::msleep(50);
    }
    return false;
}
