#include "login/login_fixture.h"

#include "common/channels_services.h"
#include "common/private_x_server.h"
#include "common/service_server.h"
#include "common/test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QThread>

#include <atomic>
#include <csignal>

namespace LoginTest {

HttpTestServer& server() {
    return serviceServer();
}

namespace {

// Before main(): the engine reads the origins once, so they must point here from the start.
[[maybe_unused]] const bool kServerStarted = (server(), true);

std::atomic<int> g_ready{0};
std::atomic<int> g_tokens{0};
std::atomic<int> g_qrVisits{0};
QMutex g_mutex;
QByteArray g_homeToken;

QByteArray run(const QString& program, const QStringList& arguments) {
    return TestSupport::run(program, arguments, {}, std::chrono::seconds(10)).out.trimmed();
}

QByteArray cookieFrom(const HttpTestServer::Request& request, const QByteArray& name) {
    for (const QByteArray& pair : request.header("Cookie").value_or(QByteArray()).split(';')) {
        const QByteArray trimmed = pair.trimmed();
        if (trimmed.startsWith(name + '=')) return trimmed.mid(name.size() + 1);
    }
    return {};
}

}  // namespace

XSession::XSession() {
    const QString number = TestSupport::startXServer(
        m_xvfb, {QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x900x24"),
                 QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-noreset")});
    if (number.isEmpty()) return;
    qputenv("DISPLAY", (u':' + number).toUtf8());
    m_windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    m_ready = TestSupport::waitUntil(
        [] {
            return TestSupport::run(QStringLiteral("wmctrl"), {QStringLiteral("-m")}, {},
                                    std::chrono::seconds(5))
                       .exitCode == 0;
        },
        std::chrono::seconds(10));
}

XSession::~XSession() {
    for (QProcess* process : {&m_windowManager, &m_xvfb}) {
        process->terminate();
        if (!process->waitForFinished(3000)) process->kill();
    }
}

QString windowTitle() {
    return QStringLiteral("登录腾讯元宝");
}

QStringList loginWindows() {
    // The client window carries the title; openbox's frame does not.
    const QByteArray out = run(QStringLiteral("xdotool"),
                               {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                QStringLiteral("--name"), QLatin1Char('^') + windowTitle() + '$'});
    return QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts);
}

QString waitForLoginWindow(int seconds) {
    QStringList found;
    TestSupport::waitUntil(
        [&] {
            found = loginWindows();
            return found.size() == 1;
        },
        std::chrono::seconds(seconds));
    return found.size() == 1 ? found.first() : QString();
}

qint64 windowPid(const QString& window) {
    return run(QStringLiteral("xdotool"), {QStringLiteral("getwindowpid"), window}).toLongLong();
}

void closeByHand(const QString& window) {
    run(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-c"), window});
}

bool clickLogin(const QString& window) {
    // The first click can land before the page takes input (on a loaded machine, seconds after
    // it has loaded); click until the QR page is asked for.
    const int before = g_qrVisits;
    return TestSupport::waitUntil(
        [&] {
            run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--window"),
                                            window, QStringLiteral("500"), QStringLiteral("400"),
                                            QStringLiteral("click"), QStringLiteral("1")});
            return TestSupport::waitUntil([&] { return g_qrVisits > before; },
                                          std::chrono::milliseconds(700));
        },
        std::chrono::seconds(20));
}

QList<qint64> descendants(qint64 pid) {
    QList<qint64> found;
    QList<qint64> parents{pid};
    while (!parents.isEmpty()) {
        const qint64 parent = parents.takeFirst();
        for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            QFile stat(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
            if (!stat.open(QIODevice::ReadOnly)) continue;
            const QByteArray text = stat.readAll();
            const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
            if (fields.size() < 2 || fields[0] == "Z" || fields[1].toLongLong() != parent) continue;
            found.append(entry.toLongLong());
            parents.append(entry.toLongLong());
        }
    }
    return found;
}

bool isRunning(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return false;
    const QByteArray text = stat.readAll();
    return !text.mid(text.lastIndexOf(')') + 2).startsWith('Z');
}

void serveYuanbao(const QByteArray& videoBytes) {
    const QString origin = server().origin();
    const QByteArray port = QByteArray::number(server().port());
    server().setHandler([=](const HttpTestServer::Request& request) {
        using Reply = HttpTestServer::Reply;
        const QByteArray path = request.path();
        const QByteArray host = request.header("Host").value_or(QByteArray());
        if (host.startsWith("localhost")) {
            // The QR page of another site: its own cookie, then back to Yuanbao once "scanned".
            if (path != "/qr") return Reply::text("not here", 404);
            ++g_qrVisits;
            Reply reply = Reply::text(
                "<!doctype html><meta charset=utf-8><p>请扫码</p><script>setTimeout(() => "
                "location.href = 'http://127.0.0.1:" +
                    port + "/callback', 300)</script>",
                200, "text/html; charset=utf-8");
            reply.headers.append(
                qMakePair(QByteArray("Set-Cookie"), QByteArray("wx_qr=scanned; Path=/")));
            return reply;
        }
        if (path == "/") {
            const QByteArray token = cookieFrom(request, "hy_token");
            {
                QMutexLocker lock(&g_mutex);
                g_homeToken = token;
            }
            return Reply::text(
                "<!doctype html><html><head><meta charset=utf-8><title>元宝</title><style>"
                "html,body{margin:0;height:100%}button{width:100%;height:100%;border:0;"
                "font-size:40px;background:#3a7bfd;color:#fff}</style></head><body>"
                "<button onclick=\"location.href='http://localhost:" +
                    port + "/qr'\">" + (token.isEmpty() ? "登录" : "已登录，再次登录") +
                    "</button><script>addEventListener('load', () => fetch('/ready'))</script>"
                    "</body></html>",
                200, "text/html; charset=utf-8");
        }
        if (path == "/ready") {
            ++g_ready;
            return Reply::text("ok");
        }
        if (path == "/callback") {
            const int number = ++g_tokens;
            Reply reply;
            reply.status = 302;
            reply.headers = {{"Location", "/"},
                             {"Set-Cookie", "hy_token=token-" + QByteArray::number(number) +
                                                "; Path=/; Max-Age=5184000; HttpOnly"}};
            return reply;
        }
        return ChannelsServices::answer(request, origin, videoBytes)
            .value_or(Reply::text("not here", 404));
    });
}

int pagesReady() {
    return g_ready;
}

int tokensIssued() {
    return g_tokens;
}

QByteArray homeTokenSent() {
    QMutexLocker lock(&g_mutex);
    return g_homeToken;
}

}  // namespace LoginTest
