#include "app/single_instance.h"

#include "app/instance_folder.h"
#include "core/link_handoff.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kShow[] = "show\n";
constexpr char kShown[] = "ok\n";
// The longest request line: "open " and a base64 text of the largest size handed over.
constexpr qint64 kMaxLine = 16 + (LinkHandoff::kMaxBytes + 2) / 3 * 4;

// Why no lock file can be made in `folder`, in the system's words: QLockFile only says that
// it could not.
QString whyNoLockIn(const QString& folder) {
    const QByteArray probe = QFile::encodeName(folder + QStringLiteral("/.quorvin-probe-") +
                                               QString::number(QCoreApplication::applicationPid()));
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    const QString words = fd < 0 ? InstanceFolder::systemWords() : QString();
    if (fd >= 0) {
        ::close(fd);
        ::unlink(probe.constData());
    }
    return QStringLiteral("无法在 ") + folder + QStringLiteral(" 中建立锁文件") +
           (words.isEmpty() ? QString() : QStringLiteral("（") + words + QStringLiteral("）"));
}

}  // namespace

SingleInstance::SingleInstance(QString folder, QObject* parent)
    : QObject(parent), m_folder(std::move(folder)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::lockPath() const {
    return m_folder + QStringLiteral("/quorvin.lock");
}

QString SingleInstance::socketPath() const {
    return m_folder + QStringLiteral("/quorvin.socket");
}

bool SingleInstance::claim() {
    if (!m_folder.isEmpty()) return claimIn(m_folder);
    QString runtimeProblem;
    if (const QString runtime = InstanceFolder::runtime(); !runtime.isEmpty()) {
        try {
            return claimIn(runtime);
        } catch (const Unavailable& problem) {
            // A read-only or cluttered runtime folder: every launch of this session meets in the
            // private folder instead.
            runtimeProblem = problem.reason + QStringLiteral("；");
        }
    }
    try {
        return claimIn(InstanceFolder::privateFallback());
    } catch (const Unavailable& problem) {
        throw Unavailable{runtimeProblem + problem.reason};
    }
}

bool SingleInstance::claimIn(const QString& folder) {
    m_folder = folder;
    clearNonFileLock();
    m_lock = std::make_unique<QLockFile>(lockPath());
    // Only a dead owner makes the lock stale, never its age: the app runs for days.
    m_lock->setStaleLockTime(0);
    bool locked = m_lock->tryLock(0);
    if (!locked && m_lock->error() == QLockFile::LockFailedError && takeOverUnreadableLock()) {
        locked = m_lock->tryLock(0);
    }
    if (!locked) {
        const QLockFile::LockError error = m_lock->error();
        m_lock.reset();
        if (error == QLockFile::LockFailedError) return false;
        throw Unavailable{whyNoLockIn(m_folder)};
    }
    // Holding the lock, any socket file left here belongs to a copy that died.
    QLocalServer::removeServer(socketPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onConnection);
    m_server->listen(socketPath());
    return true;
}

// Only a file can be a lock. Anything else in its place (an empty folder, a link, a FIFO,
// which reading would block on) holds nobody's lock and goes; a folder with something in it
// is not ours to empty.
void SingleInstance::clearNonFileLock() {
    const QByteArray path = QFile::encodeName(lockPath());
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || S_ISREG(info.st_mode)) return;
    if (S_ISDIR(info.st_mode) ? ::rmdir(path.constData()) == 0 : ::unlink(path.constData()) == 0)
        return;
    if (errno == ENOENT) return;  // another launch cleared it first
    throw Unavailable{QStringLiteral("锁文件 ") + lockPath() +
                      QStringLiteral(" 的位置被占用，无法清除（") + InstanceFolder::systemWords() +
                      QStringLiteral("）")};
}

// A lock that names no process was left by a copy that died before writing it, unless a live
// process holds it right now (still writing it): its flock says so, and removeStaleLockFile()
// respects it. One remover at a time, as QLockFile itself does it, so that two launches never
// remove each other's fresh lock.
bool SingleInstance::takeOverUnreadableLock() {
    qint64 pid = 0;
    QString host, application;
    if (m_lock->getLockInfo(&pid, &host, &application)) return false;  // QLockFile judged it
    QLockFile remover(lockPath() + QStringLiteral(".rmlock"));
    if (!remover.tryLock(1000)) return false;
    if (m_lock->getLockInfo(&pid, &host, &application)) return false;
    return m_lock->removeStaleLockFile();
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
