#include "app/desktop_session.h"

#include "common/private_x_server.h"
#include "support/app_paths.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QLocalSocket>
#include <QRegularExpression>

#include <csignal>

namespace {

// Registers itself as a StatusNotifierHost with the watcher, as a desktop's panel does, and
// keeps its bus name for as long as it lives.
constexpr char kHostStub[] = R"(
import dbus, os, signal, time
bus = dbus.SessionBus()
name = "org.kde.StatusNotifierHost-%d" % os.getpid()
bus.request_name(name)
for _ in range(100):
    try:
        watcher = bus.get_object("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher")
        watcher.RegisterStatusNotifierHost(name, dbus_interface="org.kde.StatusNotifierWatcher")
        break
    except dbus.exceptions.DBusException:
        time.sleep(0.05)
print("registered", flush=True)
signal.pause()
)";

}  // namespace

DesktopSession::DesktopSession(Tray tray) {
    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    const QString runtime = TestSupport::home() + QStringLiteral("/run");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);

    auto xvfb = std::make_unique<QProcess>();
    xvfb->setProcessEnvironment(m_environment);
    xvfb->setStandardErrorFile(QProcess::nullDevice());
    const QString display = TestSupport::startXServer(
        *xvfb, {QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x800x24"),
                QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    m_processes.push_back(std::move(xvfb));
    if (display.isEmpty()) {
        m_problem = QStringLiteral("Xvfb did not start");
        return;
    }
    m_environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":") + display);

    QProcess* bus = spawn(QStringLiteral("dbus-daemon"),
                          {QStringLiteral("--session"), QStringLiteral("--nofork"),
                           QStringLiteral("--print-address=1")});
    m_busAddress = QString::fromUtf8(firstLine(bus).trimmed());
    if (m_busAddress.isEmpty()) {
        m_problem = QStringLiteral("dbus-daemon did not start");
        return;
    }
    m_environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress);

    // An openbox that has not taken the display after 5 s is replaced; the session only fails
    // after three tries, and then says why the last one ended.
    const QString openboxErrors = TestSupport::home() + QStringLiteral("/openbox.err");
    QString openboxEnd;
    for (int attempt = 0; attempt < 3 && !windowManagerRuns(); ++attempt) {
        QProcess* openbox =
            spawn(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")}, openboxErrors);
        const bool up = TestSupport::waitUntil(
            [&] { return windowManagerRuns() || openbox->state() == QProcess::NotRunning; },
            std::chrono::seconds(5));
        if (!up || !windowManagerRuns()) {
            openbox->kill();
            openbox->waitForFinished(2000);
            openboxEnd = QStringLiteral("exit %1, %2, ")
                             .arg(openbox->exitStatus() == QProcess::CrashExit
                                      ? QStringLiteral("by a signal")
                                      : QString::number(openbox->exitCode()),
                                  openbox->errorString());
        }
    }
    if (!windowManagerRuns()) {
        QFile errors(openboxErrors);
        errors.open(QIODevice::ReadOnly);
        m_problem = QStringLiteral("openbox did not start (") + openboxEnd +
                    QString::fromUtf8(errors.readAll()) + QStringLiteral(")");
        return;
    }

    if (tray == Tray::xembed) {
        startXEmbedTray();
    } else if (tray == Tray::statusNotifier) {
        startStatusNotifierHost();
    }
}

void DesktopSession::startXEmbedTray() {
    spawn(QStringLiteral("trayer"),
          {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
           QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
           QStringLiteral("--width"), QStringLiteral("120"), QStringLiteral("--height"),
           QStringLiteral("24"), QStringLiteral("--SetDockType"), QStringLiteral("true")});
    if (!TestSupport::waitUntil(
            [&] {
                return run(QStringLiteral("xdotool"),
                           {QStringLiteral("search"), QStringLiteral("--classname"),
                            QStringLiteral("trayer")})
                           .exitCode == 0;
            },
            std::chrono::seconds(5))) {
        m_problem = QStringLiteral("trayer did not start");
    }
}

void DesktopSession::startStatusNotifierHost() {
    spawn(QStringLiteral("status-notifier-watcher"), {});
    QProcess* host = spawn(QStringLiteral("/usr/bin/python3"),
                           {QStringLiteral("-c"), QString::fromUtf8(kHostStub)});
    if (firstLine(host).trimmed() != "registered") m_problem = QStringLiteral("no SNI host");
}

DesktopSession::~DesktopSession() {
    // Newest first: the app before its tray, the tray before the X server.
    for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it) {
        QProcess& process = **it;
        if (process.state() == QProcess::NotRunning) continue;
        process.terminate();
        if (!process.waitForFinished(3000)) {
            process.kill();
            process.waitForFinished(1000);
        }
    }
}

bool DesktopSession::windowManagerRuns() {
    return run(QStringLiteral("xprop"),
               {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
        .out.contains("window id");
}

QProcess* DesktopSession::spawn(const QString& program, const QStringList& arguments,
                                const QString& errorFile) {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(m_environment);
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->setStandardErrorFile(errorFile.isEmpty() ? QProcess::nullDevice() : errorFile);
    process->start(program, arguments);
    process->waitForStarted(5000);
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

QByteArray DesktopSession::firstLine(QProcess* process) {
    TestSupport::waitUntil(
        [&] { return process->canReadLine() || process->state() == QProcess::NotRunning; },
        std::chrono::seconds(10));
    return process->canReadLine() ? process->readLine() : QByteArray();
}

QProcess* DesktopSession::startApp(const QStringList& extra) {
    QProcessEnvironment saved = m_environment;
    for (const QString& pair : extra) {
        const qsizetype equals = pair.indexOf(u'=');
        m_environment.insert(pair.left(equals), pair.mid(equals + 1));
    }
    QProcess* app = spawn(QStringLiteral(QUORVIN_BUILD_DIR "/src/app/quorvin"), {});
    m_environment = saved;
    return app;
}

QProcess* DesktopSession::monitorBus(const QString& rule) {
    return spawn(QStringLiteral("dbus-monitor"), {QStringLiteral("--session"), rule});
}

TestSupport::ProcessResult DesktopSession::run(const QString& program,
                                               const QStringList& arguments) const {
    QProcess process;
    process.setProcessEnvironment(m_environment);
    process.start(program, arguments);
    TestSupport::ProcessResult result;
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

bool DesktopSession::openPanelFromTray() const {
    using namespace std::chrono_literals;
    return TestSupport::waitUntil(
        [&] {
            if (!panels().isEmpty()) return true;
            QString icon;
            for (const QString& window : windowsOfClass(QStringLiteral("quorvin"))) {
                const QRect r = geometry(window);
                if (r.width() > 0 && r.width() <= 32 && r.top() < 30) icon = window;
            }
            if (icon.isEmpty()) return false;
            run(QStringLiteral("xdotool"),
                {QStringLiteral("mousemove"), QStringLiteral("--window"), icon, QStringLiteral("5"),
                 QStringLiteral("5"), QStringLiteral("click"), QStringLiteral("1")});
            return TestSupport::waitUntil([&] { return panels().size() == 1; }, 3s);
        },
        20s);
}

QStringList DesktopSession::visibleWindows(const QString& title) const {
    const auto result =
        run(QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
             QStringLiteral("^") + QRegularExpression::escape(title) + QStringLiteral("$")});
    return QString::fromUtf8(result.out).split(u'\n', Qt::SkipEmptyParts);
}

QStringList DesktopSession::panels() const {
    QStringList found;
    for (const QString& window : visibleWindows(QStringLiteral("Quorvin"))) {
        if (geometry(window).width() == 440) found << window;
    }
    return found;
}

QStringList DesktopSession::windowsOfClass(const QString& name) const {
    const auto result = run(QStringLiteral("xdotool"),
                            {QStringLiteral("search"), QStringLiteral("--classname"), name});
    return QString::fromUtf8(result.out).split(u'\n', Qt::SkipEmptyParts);
}

QString DesktopSession::activeWindow() const {
    return QString::fromUtf8(
        run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}).out.trimmed());
}

QRect DesktopSession::geometry(const QString& window) const {
    const auto result = run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"),
                                                        QStringLiteral("--shell"), window});
    QMap<QString, int> values;
    for (const QString& line : QString::fromUtf8(result.out).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList pair = line.split(u'=');
        if (pair.size() == 2) values[pair[0]] = pair[1].toInt();
    }
    return {values.value(QStringLiteral("X")), values.value(QStringLiteral("Y")),
            values.value(QStringLiteral("WIDTH")), values.value(QStringLiteral("HEIGHT"))};
}

bool DesktopSession::screenshot(const QString& path) const {
    // ffmpeg (already needed for downloads) reads the X server directly.
    const auto grab = run(QStringLiteral("ffmpeg"),
                          {QStringLiteral("-loglevel"), QStringLiteral("error"),
                           QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("x11grab"),
                           QStringLiteral("-i"), m_environment.value(QStringLiteral("DISPLAY")),
                           QStringLiteral("-frames:v"), QStringLiteral("1"), path});
    return grab.exitCode == 0;
}

int logLinesContaining(const QString& text) {
    QFile log(AppPaths::appLog());
    if (!log.open(QIODevice::ReadOnly)) return 0;
    return int(QString::fromUtf8(log.readAll()).split(u'\n').filter(text).size());
}

std::optional<QPoint> solidAccentCentre(const QImage& screen, const QRect& region) {
    QHash<QRgb, int> counts;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x) {
            const QColor colour = screen.pixelColor(x, y);
            if (colour.hsvSaturation() > 120 && colour.value() > 80) ++counts[colour.rgb()];
        }
    }
    QRgb best = 0;
    int bestCount = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > bestCount) std::tie(best, bestCount) = std::pair(it.key(), it.value());
    }
    if (bestCount < 300) return std::nullopt;  // a 24-point button has well over that
    // The same colour also draws accent texts ("粘贴", "清除已完成"): the button is where it
    // makes the longest unbroken run along a line.
    QPoint centre;
    int longest = 0;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        int run = 0;
        for (int x = region.left(); x <= region.right() + 1; ++x) {
            if (x <= region.right() && screen.pixel(x, y) == best) {
                ++run;
                continue;
            }
            if (run > longest)
                std::tie(longest, centre) = std::pair(run, QPoint(x - 1 - run / 2, y));
            run = 0;
        }
    }
    return centre;
}

std::optional<QPoint> settledRemedy(const DesktopSession& desktop, const QString& panel,
                                    const QString& shot) {
    using namespace std::chrono_literals;
    std::optional<QPoint> remedy;
    const bool settled = TestSupport::waitUntil(
        [&] {
            // Read each time: the panel grows with its list after it has come up.
            const QRect panelRect = desktop.geometry(panel);
            if (!desktop.screenshot(shot)) return false;
            const QImage screen(shot);
            const auto found = solidAccentCentre(
                screen, panelRect.adjusted(0, 120, 0, 0).intersected(screen.rect()));
            const bool still = found && remedy && *found == *remedy;
            remedy = found;
            return still;
        },
        15s);
    return settled ? remedy : std::nullopt;
}

QByteArray DesktopSession::ask(const QByteArray& request,
                               std::chrono::milliseconds patience) const {
    QLocalSocket socket;
    socket.connectToServer(m_environment.value(QStringLiteral("XDG_RUNTIME_DIR")) +
                           QStringLiteral("/quorvin.socket"));
    if (!socket.waitForConnected(int(patience.count()))) return "not connected";
    socket.write(request);
    socket.flush();
    while (!socket.canReadLine() && socket.waitForReadyRead(int(patience.count()))) {
    }
    return socket.readLine();
}
