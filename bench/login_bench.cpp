// The login window's cost, with the real quorvin-login helper on the display in $DISPLAY and a
// loopback server playing the Yuanbao page (it "scans" by itself a few seconds after loading).
// Per login: the helper's start to its window's first paint, to the page loaded and to the
// page's first frame; the memory of the helper and its web processes while the window is open
// (RSS and PSS summed); and this process's RSS before, during and after, which stands in for
// the tray app (it holds a DownloadManager with the same LoginHelperClient).
//
//   QUORVIN_LOGIN_PROGRAM=build/src/login/quorvin-login build/bench/login_bench [logins=3]
//   (bench/login_bench.sh sets up the display and the program.) With QUORVIN_BENCH_SHOT=FILE
//   a PNG of the screen is saved while the first window is open.

#include "app/login_helper_client.h"
#include "common/http_test_server.h"
#include "common/private_home.h"
#include "common/processes.h"
#include "manager/download_manager.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <cstdio>

#include <unistd.h>

namespace {

// kB from a "Name:   123 kB" line of a /proc file.
qint64 procField(const QString& file, const QByteArray& name) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : in.readAll().split('\n')) {
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed().split(' ')[0].toLongLong();
    }
    return 0;
}

double mib(qint64 kilobytes) {
    return double(kilobytes) / 1024.0;
}

qint64 ownRss() {
    return procField(QStringLiteral("/proc/self/status"), "VmRSS");
}

void pump(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

bool pumpUntil(const std::function<bool()>& done, int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return done();
}

QMap<QByteArray, qint64> readTrace(const QString& path) {
    QMap<QByteArray, qint64> marks;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return marks;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2 && !marks.contains(parts[0]))
            marks.insert(parts[0], parts[1].toLongLong());
    }
    return marks;
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    const int logins = argc > 1 ? std::atoi(argv[1]) : 3;

    QTemporaryDir home;
    TestSupport::usePrivateHome(home.path());
    const QString trace = home.path() + QStringLiteral("/trace");
    qputenv("QUORVIN_LOGIN_TRACE", QFile::encodeName(trace));

    // A page of the size of a QR login page, which logs in by itself 2.5 s after it loaded.
    HttpTestServer server;
    int issued = 0;
    server.setHandler([&issued](const HttpTestServer::Request& request) {
        using Reply = HttpTestServer::Reply;
        if (request.path() == "/") {
            QByteArray filler;
            for (int i = 0; i < 400; ++i) filler += "<p>说明文字 " + QByteArray::number(i) + "</p>";
            return Reply::text(
                "<!doctype html><meta charset=utf-8><title>元宝</title>"
                "<style>body{font:16px sans-serif;margin:40px}</style>"
                "<h1>登录</h1><div style='width:240px;height:240px;"
                "background:repeating-linear-gradient(45deg,#000 0 8px,#fff 8px "
                "16px)'></div>" +
                    filler +
                    "<script>setTimeout(() => location.href = '/callback', "
                    "2500)</script>",
                200, "text/html; charset=utf-8");
        }
        if (request.path() == "/callback") {
            Reply reply;
            reply.status = 302;
            reply.headers = {{"Location", "/"},
                             {"Set-Cookie", "hy_token=bench-" + QByteArray::number(++issued) +
                                                "; Path=/; Max-Age=600; HttpOnly"}};
            return reply;
        }
        return Reply::text("no", 404);
    });
    qputenv("QUORVIN_YUANBAO_ORIGIN", server.origin().toUtf8());

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quorvin"));
    QCoreApplication::setOrganizationName(QStringLiteral("Quorvin"));
    if (LoginHelperClient::helperProgram().isEmpty()) {
        std::fprintf(stderr, "quorvin-login not found: set QUORVIN_LOGIN_PROGRAM\n");
        return 1;
    }

    DesktopServices services;
    services.makeLoginWindow = [] { return std::make_shared<LoginHelperClient>(); };
    DownloadManager manager(services, YtDlp::Settings{});
    bool lastOk = false;
    manager.refreshStatus();
    pump(1500);
    const qint64 rssStart = ownRss();
    std::printf("harness RSS before any login: %.1f MiB\n", mib(rssStart));

    for (int round = 1; round <= logins; ++round) {
        QFile::remove(trace);
        const qint64 rssBefore = ownRss();
        const qint64 started = QDateTime::currentMSecsSinceEpoch();
        manager.showYuanbaoLogin();
        if (!pumpUntil([&] { return readTrace(trace).contains("page-painted"); }, 30'000)) {
            std::fprintf(stderr, "round %d: the page never painted\n", round);
            return 1;
        }
        const auto marks = readTrace(trace);
        if (round == 1 && !qEnvironmentVariableIsEmpty("QUORVIN_BENCH_SHOT")) {
            pump(300);
            QProcess::execute(
                QStringLiteral("ffmpeg"),
                {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
                 QStringLiteral("-f"), QStringLiteral("x11grab"), QStringLiteral("-i"),
                 qEnvironmentVariable("DISPLAY"), QStringLiteral("-frames:v"), QStringLiteral("1"),
                 qEnvironmentVariable("QUORVIN_BENCH_SHOT")});
        }
        pump(1000);
        qint64 rss = 0, pss = 0;
        const QList<qint64> helpers = TestSupport::liveDescendants(::getpid());
        for (qint64 pid : helpers) {
            const QString base = QStringLiteral("/proc/%1/").arg(pid);
            rss += procField(base + QStringLiteral("status"), "VmRSS");
            pss += procField(base + QStringLiteral("smaps_rollup"), "Pss");
        }
        const qint64 rssDuring = ownRss();
        std::printf(
            "login %d: helper start → window painted %lld ms, → page loaded %lld ms, → page's "
            "first frame %lld ms\n",
            round, marks.value("window-painted") - started, marks.value("page-loaded") - started,
            marks.value("page-painted") - started);
        std::printf("login %d: helper while open: %lld processes, RSS %.1f MiB, PSS %.1f MiB\n",
                    round, qint64(helpers.size()), mib(rss), mib(pss));
        if (!pumpUntil([&] { return !manager.hasLoginWindow(); }, 15'000)) {
            std::fprintf(stderr, "round %d: the login was not detected\n", round);
            return 1;
        }
        lastOk = manager.yuanbao().loggedIn().value_or(false);
        pumpUntil([] { return TestSupport::liveDescendants(::getpid()).isEmpty(); }, 10'000);
        pump(1000);
        const qint64 rssAfter = ownRss();
        std::printf(
            "login %d: harness RSS before %.1f MiB, during %.1f MiB, after %.1f MiB (after − "
            "before %+.2f MiB); logged in: %s\n",
            round, mib(rssBefore), mib(rssDuring), mib(rssAfter), mib(rssAfter - rssBefore),
            lastOk ? "yes" : "no");
    }
    std::printf("harness RSS after %d logins − before the first: %+.2f MiB\n", logins,
                mib(ownRss() - rssStart));
    return lastOk ? 0 : 1;
}
