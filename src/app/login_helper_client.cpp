#include "app/login_helper_client.h"

#include "channels/yuanbao.h"
#include "support/log.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>

namespace {

constexpr int kPollIntervalMs = 1500;
// Lets the user see the page's logged-in state before the window closes.
constexpr int kCloseDelayMs = 800;
// A helper asked to close gets this long to write its last cookies before it is ended.
constexpr int kCloseGraceMs = 3000;
// Long enough to read the one line that says why a login cannot be saved.
constexpr int kProblemShownMs = 5000;
// The helper's report is ours, but a log line stays a line.
constexpr qsizetype kMaxReportChars = 500;

std::optional<QString> currentToken() {
    for (const QNetworkCookie& cookie : Yuanbao::cookies()) {
        if (cookie.name() == Yuanbao::kTokenCookie) return QString::fromUtf8(cookie.value());
    }
    return std::nullopt;
}

bool isExecutable(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

}  // namespace

LoginHelperClient::LoginHelperClient(QObject* parent) : QObject(parent) {
    m_timer.setInterval(kPollIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &LoginHelperClient::check);
}

LoginHelperClient::~LoginHelperClient() {
    m_timer.stop();
    if (!m_window) return;
    m_window->disconnect(this);
    // Closing its input closes the window; the helper writes what it still holds and ends.
    m_window->closeWriteChannel();
    if (!m_window->waitForFinished(kCloseGraceMs)) m_window->kill();
    delete m_window;
}

QString LoginHelperClient::helperProgram() {
    const QString chosen = qEnvironmentVariable("QUORVIN_LOGIN_PROGRAM");
    if (!chosen.isEmpty()) return isExecutable(chosen) ? chosen : QString();
    const QString here = QCoreApplication::applicationDirPath();
    for (const QString& candidate : {here + QStringLiteral("/quorvin-login"),
                                     here + QStringLiteral("/../login/quorvin-login")}) {
        if (isExecutable(candidate)) return QFileInfo(candidate).canonicalFilePath();
    }
    return QStandardPaths::findExecutable(QStringLiteral("quorvin-login"));
}

void LoginHelperClient::show() {
    if (m_finished || m_opening) return;
    if (m_window) {
        m_window->write("raise\n");
        return;
    }
    // The login that exists now does not count: only a new token value is a completed login.
    m_opening = true;
    m_initialToken = currentToken();
    open();
    m_opening = false;
}

void LoginHelperClient::open() {
    const QString program = helperProgram();
    m_window = new QProcess(this);
    // The helper's error output goes where ours goes; its input and output are our line to the
    // window.
    m_window->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(m_window, &QProcess::finished, this, &LoginHelperClient::helperEnded);
    connect(m_window, &QProcess::readyReadStandardOutput, this, &LoginHelperClient::readHelper);
    connect(m_window, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        Log::write(QStringLiteral("无法打开元宝登录窗口：") + m_window->errorString());
        helperEnded();
    });
    if (program.isEmpty()) {
        Log::write(QStringLiteral("无法打开元宝登录窗口：找不到 quorvin-login"));
        // Reported from the event loop, as a window closing would be, not inside show().
        QTimer::singleShot(0, this, &LoginHelperClient::helperEnded);
        return;
    }
    m_window->start(program, {});
    m_timer.start();
}

void LoginHelperClient::readHelper() {
    while (m_window && m_window->canReadLine()) {
        const QByteArray line = m_window->readLine().trimmed();
        if (!line.startsWith("save-failed ") || m_finished || m_saveFailed || m_loginSeen) continue;
        m_saveFailed = true;
        m_timer.stop();
        Log::write(QString::fromUtf8(line.mid(12)).left(kMaxReportChars));
        QTimer::singleShot(kProblemShownMs, this, [this] { finish(false); });
    }
}

void LoginHelperClient::check() {
    if (m_finished || m_loginSeen || m_saveFailed) return;
    const std::optional<QString> token = currentToken();
    if (!token || token->isEmpty()) return;
    if (m_initialToken && *m_initialToken == *token) return;
    m_loginSeen = true;
    m_timer.stop();
    Log::write(QStringLiteral("元宝登录成功"));
    Yuanbao::loginState();  // records that a login has existed
    QTimer::singleShot(kCloseDelayMs, this, [this] { finish(true); });
}

void LoginHelperClient::helperEnded() {
    if (m_window) {
        m_window->disconnect(this);
        m_window->deleteLater();
        m_window = nullptr;
    }
    // A window closed after the new login was found still reports the login.
    finish(m_loginSeen);
}

void LoginHelperClient::finish(bool ok) {
    m_timer.stop();
    if (!m_finished) {
        m_finished = true;
        const QPointer<LoginHelperClient> self(this);
        const auto callback = onFinish;  // the owner may let go of this object in it
        if (callback) callback(ok);
        if (!self) return;
    }
    closeWindow();
}

void LoginHelperClient::closeWindow() {
    if (!m_window) return;
    m_window->write("close\n");
    m_window->closeWriteChannel();
    const QPointer<QProcess> helper(m_window);
    QTimer::singleShot(kCloseGraceMs, this, [helper] {
        if (helper && helper->state() != QProcess::NotRunning) helper->terminate();
    });
}
