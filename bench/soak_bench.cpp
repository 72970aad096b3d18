// A thousand downloads through one running quorvin, and what it holds after each hundred.
//
// The real app runs in a tray under Xvfb with a private home. Links go in through its
// single-instance socket, as "quorvin LINK…" hands them over, at most 8 running at once. The mix
// is yt-dlp on a plain MP4, yt-dlp on HLS with separate picture and sound (merged by ffmpeg),
// Channels through the stand-in Yuanbao and Channels services, missing videos on both engines,
// a server that stops sending (yt-dlp's own 60 s read time-out ends it; its retry finds the link
// gone), cancels and removals of transfers that hang, and "清除已完成". Those three go through the
// panel with the pointer, as a person does them: the top row is found on a screenshot, then its
// cancel button, its context menu's "从列表移除", or the list's "清除已完成" is clicked. (The Tab
// walk was the first choice, but it does not reach the rows in their order on screen.)
//
// After every hundred links, once nothing runs and the list is cleared, it prints the app's
// resident memory, open files, threads, child processes and zombies, the files on the Desktop
// and in the app's temporary folder, and the 99th percentile of the panel's frame times and of
// the CPU time spent per frame (QUORVIN_FRAME_LOG). At the end it checks every saved file against
// its source byte for byte, quits the app and looks for processes left behind.
//
// COUNT=<n> sets the number of links (default 1000); all servers listen on 127.0.0.1 only.

#include "app/desktop_session.h"
#include "channels/cookie_jar.h"
#include "common/channels_services.h"
#include "common/http_test_server.h"
#include "common/private_home.h"
#include "common/processes.h"
#include "common/test_media.h"
#include "common/test_support.h"
#include "support/app_paths.h"
#include "support/settings.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QNetworkCookie>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <map>

namespace {

using namespace std::chrono_literals;

enum class Kind { mp4, hls, channels, missingSite, missingChannels, stall, cancel, remove };

struct Download {
    Kind kind = Kind::mp4;
    QString id;    // also the saved file's name stem ("m00012" → m00012.mp4)
    QString link;  // as handed to the app
    bool channels = false;
};

const char* kindName(Kind kind) {
    switch (kind) {
        case Kind::mp4:
            return "mp4";
        case Kind::hls:
            return "hls";
        case Kind::channels:
            return "channels";
        case Kind::missingSite:
            return "404 yt-dlp";
        case Kind::missingChannels:
            return "404 channels";
        case Kind::stall:
            return "stall";
        case Kind::cancel:
            return "cancel";
        case Kind::remove:
            return "remove";
    }
    return "?";
}

QByteArray sha1(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex();
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The app's log, read as it grows: what started and how each run ended.
class LogFollower {
public:
    // Every new complete line since the last call.
    QStringList newLines() {
        QFile file(AppPaths::appLog());
        if (!file.open(QIODevice::ReadOnly)) return {};
        if (file.size() < m_offset) m_offset = 0;  // the log restarted at its size limit
        file.seek(m_offset);
        QByteArray data = file.readAll();
        const qsizetype end = data.lastIndexOf('\n');
        if (end < 0) return {};
        data.truncate(end + 1);
        m_offset += data.size();
        return QString::fromUtf8(data).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    qint64 m_offset = 0;
};

struct ProcessFigures {
    double rssMiB = 0;
    int threads = 0;
    int fds = 0;
    int children = 0;  // live descendants
    int zombies = 0;   // descendants that ended and were not reaped
};

ProcessFigures measure(qint64 pid) {
    ProcessFigures figures;
    const QString base = QStringLiteral("/proc/%1/").arg(pid);
    for (const QString& line :
         QString::fromUtf8(fileBytes(base + QStringLiteral("status"))).split(u'\n')) {
        const QStringList parts = line.simplified().split(u' ');
        if (parts.size() < 2) continue;
        if (parts[0] == u"VmRSS:") figures.rssMiB = parts[1].toDouble() / 1024.0;
        if (parts[0] == u"Threads:") figures.threads = parts[1].toInt();
    }
    figures.fds = int(QDir(base + QStringLiteral("fd"))
                          .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)
                          .size());
    figures.children = int(TestSupport::liveDescendants(pid).size());
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QByteArray stat =
            fileBytes(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        const qsizetype close = stat.lastIndexOf(')');
        if (close < 0) continue;
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (fields.size() >= 2 && fields[0] == "Z" && fields[1].toLongLong() == pid)
            ++figures.zombies;
    }
    return figures;
}

double percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(share * double(values.size())));
    return values[index];
}

QString loadAverage() {
    return QString::fromUtf8(fileBytes(QStringLiteral("/proc/loadavg"))).section(u' ', 0, 2);
}

// A transfer that hangs: headers and a first piece, then silence.
constexpr qint64 kStallAfter = 16 * 1024;

// The media every download is served from, made once with ffmpeg.
struct Media {
    QString clip;      // H.264 + AAC MP4 with its index at the front
    QString hlsDir;    // picture and sound as separate HLS renditions of the clip
    QByteArray cover;  // a JPEG for the Channels rows' thumbnails
    QByteArray clipBytes;

    bool make(const QString& root) {
        clip = root + QStringLiteral("/clip.mp4");
        hlsDir = root + QStringLiteral("/hls");
        if (!TestMedia::makeClip(clip, 4, QSize(320, 240))) return false;
        clipBytes = fileBytes(clip);
        QDir().mkpath(hlsDir);
        const auto rendition = [&](const char* map, const char* name, const char* prefix) {
            return TestMedia::ffmpeg(
                {QStringLiteral("-i"), clip, QStringLiteral("-map"), QString::fromLatin1(map),
                 QStringLiteral("-c"), QStringLiteral("copy"), QStringLiteral("-f"),
                 QStringLiteral("hls"), QStringLiteral("-hls_time"), QStringLiteral("1"),
                 QStringLiteral("-hls_playlist_type"), QStringLiteral("vod"),
                 QStringLiteral("-hls_segment_filename"),
                 hlsDir + u'/' + QString::fromLatin1(prefix) + QStringLiteral("%d.ts"),
                 hlsDir + u'/' + QString::fromLatin1(name)});
        };
        if (!rendition("0:v", "v.m3u8", "v") || !rendition("0:a", "a.m3u8", "a")) return false;
        const QString coverPath = root + QStringLiteral("/cover.jpg");
        if (!TestMedia::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                QStringLiteral("testsrc=size=128x80"), QStringLiteral("-frames:v"),
                                QStringLiteral("1"), coverPath}))
            return false;
        cover = fileBytes(coverPath);
        return clipBytes.size() > 4 * kStallAfter && !cover.isEmpty();
    }
};

constexpr char kMaster[] =
    "#EXTM3U\n"
    "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"aud\",NAME=\"sound\",DEFAULT=YES,AUTOSELECT=YES,"
    "URI=\"/hls/a.m3u8\"\n"
    "#EXT-X-STREAM-INF:BANDWIDTH=400000,CODECS=\"avc1.42c00c,mp4a.40.2\",RESOLUTION=320x240,"
    "AUDIO=\"aud\"\n"
    "/hls/v.m3u8\n";

HttpTestServer::Handler handler(const Media& media, const QString& origin) {
    return [&media, origin](const HttpTestServer::Request& request) {
        using Reply = HttpTestServer::Reply;
        const QString path = QString::fromUtf8(request.path());
        const QString name = path.section(u'/', -1);
        // yt-dlp gives a silent server 60 s, then asks again for the rest: by then the link is
        // gone, as a broken server's are.
        if (path.startsWith(u"/stall/") && request.header("Range")) return Reply::text("gone", 404);
        if (path.startsWith(u"/mp4/") || path.startsWith(u"/stall/")) {
            Reply reply;
            reply.headers = {{"Content-Type", "video/mp4"}};
            reply.file = media.clip;
            if (path.startsWith(u"/stall/")) reply.stallAfter = kStallAfter;
            return reply;
        }
        if (path.startsWith(u"/hls/")) {
            if (name == u"v.m3u8" || name == u"a.m3u8" || name.endsWith(u".ts"))
                return HttpTestServer::folder(QFileInfo(media.hlsDir).path())(request);
            return Reply::text(kMaster, 200, "application/vnd.apple.mpegurl");
        }
        if (path.startsWith(u"/cover/")) {
            Reply reply;
            reply.headers = {{"Content-Type", "image/jpeg"}};
            reply.body = media.cover;
            return reply;
        }
        if (path.startsWith(u"/video/g")) return Reply::text("no such video", 404);
        auto reply = ChannelsServices::answer(request, origin, media.clipBytes);
        if (!reply) return Reply::text("not here", 404);
        if (path.startsWith(u"/video/s")) reply->stallAfter = kStallAfter;
        return *reply;
    };
}

// One hundred links: the kinds in a fixed shuffled order, cancels and removals spread between
// the 15th and the 90th link. A stall opens every other hundred, so its minute overlaps the rest.
std::vector<Kind> blockKinds(int block, int size) {
    std::vector<Kind> plain;
    const auto add = [&](Kind kind, int count) { plain.insert(plain.end(), count, kind); };
    const int interactive = 10 * size / 100;
    const int cancels = interactive * 6 / 10;
    const int removals = interactive - cancels;
    const int stalls = (block % 2 == 0) ? 1 : 0;
    add(Kind::hls, 15 * size / 100);
    add(Kind::channels, 30 * size / 100);
    add(Kind::missingSite, 4 * size / 100);
    add(Kind::missingChannels, 4 * size / 100);
    const int rest = size - int(plain.size()) - cancels - removals - stalls;
    add(Kind::mp4, std::max(0, rest));
    QRandomGenerator random(quint32(1000 + block));
    std::shuffle(plain.begin(), plain.end(), random);
    std::vector<Kind> kinds;
    if (stalls) kinds.push_back(Kind::stall);
    kinds.insert(kinds.end(), plain.begin(), plain.end());
    for (int i = 0; i < cancels + removals; ++i) {
        const int span = std::max(1, int(kinds.size()) * 75 / 100);
        const int at = std::min(int(kinds.size()),
                                int(kinds.size()) * 15 / 100 + 1 + int(random.bounded(span)));
        kinds.insert(kinds.begin() + at, i < cancels ? Kind::cancel : Kind::remove);
    }
    kinds.resize(size_t(size));
    return kinds;
}

class Soak {
public:
    Soak(DesktopSession& desktop, HttpTestServer& server, const Media& media, QString frameLog)
        : m_desktop(desktop), m_server(server), m_media(media), m_frameLog(std::move(frameLog)) {}

    bool start(const QStringList& environment) {
        m_app = m_desktop.startApp(environment);
        if (!m_app ||
            !TestSupport::waitUntil([&] { return m_desktop.ask("show\n", 60s) == "ok\n"; }, 60s))
            return false;
        m_pid = m_app->processId();
        if (!TestSupport::waitUntil([&] { return !m_desktop.panels().isEmpty(); }, 20s))
            return false;
        m_panel = m_desktop.panels().first();
        waitUntilPanelActive();
        // The panel's height with an empty list, once its layout has settled.
        TestSupport::waitUntil(
            [&] {
                const int before = m_desktop.geometry(m_panel).height();
                QThread::msleep(500);
                m_emptyHeight = m_desktop.geometry(m_panel).height();
                return before == m_emptyHeight;
            },
            20s);
        return true;
    }

    int run(int count) {
        QElapsedTimer clock;
        clock.start();
        std::printf(
            "| links | min:s | RSS MiB | fds | threads | children | zombies | Desktop files "
            "| stray | temp files | frames | frame p99 ms | frame CPU p99 ms | load |\n"
            "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
        std::fflush(stdout);
        int submitted = 0;
        for (int block = 0; submitted < count; ++block) {
            const int size = std::min(100, count - submitted);
            for (Kind kind : blockKinds(block, size)) {
                const Download download = make(kind, submitted++);
                if (kind == Kind::cancel || kind == Kind::remove) {
                    actOnTopRow(download);
                } else {
                    waitForSlot();
                    submit(download);
                }
                if (submitted % 20 == 0) clearFinished();
            }
            drain();
            clearFinished(true);
            // The list is empty again: the panel is back at its first height once the rows'
            // exit has played.
            const bool emptied = TestSupport::waitUntil(
                [&] { return m_desktop.geometry(m_panel).height() == m_emptyHeight; }, 30s);
            if (!emptied) {
                std::fprintf(stderr, "panel %d high after clearing at %d, %d when empty\n",
                             m_desktop.geometry(m_panel).height(), submitted, m_emptyHeight);
                m_desktop.screenshot(TestSupport::home() +
                                     QStringLiteral("/not-emptied-%1.png").arg(submitted));
            }
            if (!emptied) ++m_notEmptied;
            report(submitted, clock.elapsed());
        }
        return finish();
    }

private:
    Download make(Kind kind, int index) {
        Download download;
        download.kind = kind;
        const QString number = QStringLiteral("%1").arg(index, 5, 10, QLatin1Char('0'));
        const QString origin = m_server.origin();
        // Cancels and removals alternate between the two engines.
        const bool channelsTarget = (kind == Kind::cancel || kind == Kind::remove) && index % 2;
        if (kind == Kind::channels || kind == Kind::missingChannels || channelsTarget) {
            download.channels = true;
            const char prefix = kind == Kind::channels          ? 'c'
                                : kind == Kind::missingChannels ? 'g'
                                                                : 's';
            download.id = QLatin1Char(prefix) + number;
            download.link = QStringLiteral("https://weixin.qq.com/sph/") + download.id;
        } else {
            switch (kind) {
                case Kind::hls:
                    download.id = QStringLiteral("h") + number;
                    download.link =
                        origin + QStringLiteral("/hls/") + download.id + QStringLiteral(".m3u8");
                    break;
                case Kind::missingSite:
                    download.id = QStringLiteral("n") + number;
                    download.link =
                        origin + QStringLiteral("/gone/") + download.id + QStringLiteral(".mp4");
                    break;
                case Kind::stall:
                case Kind::cancel:
                case Kind::remove:
                    download.id = QStringLiteral("t") + number;
                    download.link =
                        origin + QStringLiteral("/stall/") + download.id + QStringLiteral(".mp4");
                    break;
                default:
                    download.id = QStringLiteral("m") + number;
                    download.link =
                        origin + QStringLiteral("/mp4/") + download.id + QStringLiteral(".mp4");
            }
        }
        ++m_planned[kind];
        return download;
    }

    void submit(const Download& download) {
        const QByteArray reply =
            m_desktop.ask("open " + download.link.toUtf8().toBase64() + '\n', 60s);
        if (reply != "ok\n") {
            std::fprintf(stderr, "refused %s: %s", qPrintable(download.link), reply.constData());
            ++m_refused;
        }
    }

    // Reads the log: runs started, and how runs ended.
    void follow() {
        for (const QString& line : m_log.newLines()) {
            const QString message = line.section(QStringLiteral("] "), 2);
            if (message.startsWith(u"开始下载：")) {
                ++m_starts;
            } else if (message.startsWith(u"下载完成：")) {
                ++m_ends;
                ++m_done;
                ++m_finishedSinceClear;
                m_saved << message.mid(5);
            } else if (message.startsWith(u"下载失败：")) {
                ++m_ends;
                ++m_failed;
                ++m_finishedSinceClear;
            } else if (message.startsWith(u"已取消：")) {
                ++m_ends;
                ++m_cancelled;
                ++m_finishedSinceClear;
                m_cancelledLinks.insert(message.mid(4));
            }
        }
    }

    int active() {
        follow();
        return m_starts - m_ends;
    }

    void waitForSlot() {
        TestSupport::waitUntil([&] { return active() < 8; }, 600s);
    }

    void drain() {
        TestSupport::waitUntil([&] { return active() == 0; }, 600s);
    }

    void waitUntilPanelActive() {
        TestSupport::waitUntil([&] { return m_desktop.activeWindow() == m_panel; }, 10s);
    }

    // The panel in front with the focus in its link field, as a click on the icon leaves it.
    void focusPanel() {
        m_desktop.ask("show\n", 60s);
        waitUntilPanelActive();
        // The field takes the focus on the event loop's next turn.
        QThread::msleep(100);
        shot(QStringLiteral("focused"));
    }

    // SOAK_SHOTS=<folder> keeps a screenshot of each panel action, to see what went wrong.
    void shot(const QString& what) {
        const QString folder = qEnvironmentVariable("SOAK_SHOTS");
        if (folder.isEmpty()) return;
        QDir().mkpath(folder);
        m_desktop.screenshot(
            folder +
            QStringLiteral("/%1-%2.png").arg(++m_shots, 4, 10, QLatin1Char('0')).arg(what));
    }

    // "清除已完成" in the list's header, clicked. Only while a finished row is known to be in the
    // list: the button shows only then.
    // `always`: after the last run of a hundred has ended, when every row left is finished (a run
    // that ended just as the last click went in is not counted, so the count may say none).
    void clearFinished(bool always = false) {
        follow();
        if (m_finishedSinceClear == 0 && !always) return;
        focusPanel();
        const auto top = topRowOnScreen();
        if (!top) {
            // After the last run, an empty list is the clear already done.
            if (always) return;
            std::fprintf(stderr, "清除已完成: no row found on screen\n");
            ++m_clearMisses;
            return;
        }
        const QRect panel = m_desktop.geometry(m_panel);
        click(panel.x() + panel.width() - 44, *top - 14, 1);
        shot(QStringLiteral("cleared"));
        ++m_clears;
        // A run that ended while the click went in may or may not have been cleared: count only
        // what ends after the list has surely taken it.
        QThread::msleep(500);
        follow();
        m_finishedSinceClear = 0;
    }

    void click(int x, int y, int button) {
        m_desktop.run(QStringLiteral("xdotool"),
                      {QStringLiteral("mousemove"), QString::number(x), QString::number(y),
                       QStringLiteral("click"), QString::number(button)});
        // The pointer leaves the panel (below it, wherever it stands), so no row shows its hover
        // buttons.
        m_desktop.run(QStringLiteral("xdotool"),
                      {QStringLiteral("mousemove"), QStringLiteral("640"), QStringLiteral("790")});
    }

    // The top row's top edge once the list is at rest: a row sliding in is not where it will be,
    // and a click meant for the list's header could land on its cancel button.
    std::optional<int> topRowOnScreen() {
        const QString screen = TestSupport::home() + QStringLiteral("/panel.png");
        std::optional<int> previous;
        for (int look = 0; look < 10; ++look) {
            if (!m_desktop.screenshot(screen)) return std::nullopt;
            const auto top = topRow(QImage(screen), m_desktop.geometry(m_panel));
            if (top && previous == top) return top;
            previous = top;
            QThread::msleep(250);
        }
        return std::nullopt;
    }

    bool waitForRequest(const QString& path, std::chrono::milliseconds timeout) {
        return TestSupport::waitUntil(
            [&] {
                for (const auto& request : m_server.requests()) {
                    if (QString::fromUtf8(request.path()) == path) return true;
                }
                return false;
            },
            timeout);
    }

    // Puts a transfer that hangs on top of the list, then cancels it with its row's button or
    // removes it with the row's context menu, and waits for the log to say so.
    void actOnTopRow(const Download& download) {
        waitForSlot();
        // No other link goes in until the row is dealt with: it stays the top row.
        submit(download);
        const QString media =
            download.channels ? QStringLiteral("/video/") + download.id + QStringLiteral(".mp4")
                              : QStringLiteral("/stall/") + download.id + QStringLiteral(".mp4");
        if (!waitForRequest(media, 60s)) {
            ++m_actionMisses;
            return;
        }
        // The row's buttons ignore presses for a moment after its phase changes.
        QThread::msleep(1200);
        const auto cancelled = [&] {
            follow();
            return m_cancelledLinks.contains(download.link);
        };
        for (int attempt = 0; attempt < 3 && !cancelled(); ++attempt) {
            focusPanel();
            const QRect panel = m_desktop.geometry(m_panel);
            const auto top = topRowOnScreen();
            if (top && download.kind == Kind::cancel) {
                // The row's round cancel button, at its top right.
                click(panel.x() + panel.width() - 36, *top + 22, 1);
            } else if (top) {
                // The row's context menu, then its last entry, "从列表移除".
                m_desktop.run(
                    QStringLiteral("xdotool"),
                    {QStringLiteral("mousemove"), QString::number(panel.x() + 140),
                     QString::number(*top + 20), QStringLiteral("click"), QStringLiteral("3")});
                QThread::msleep(400);
                shot(QStringLiteral("menu"));
                click(panel.x() + 190, *top + 20 + 81, 1);
            }
            shot(QStringLiteral("acted"));
            if (TestSupport::waitUntil(cancelled, 10s)) break;
            ++m_actionRetries;
        }
        if (!cancelled()) ++m_actionMisses;
    }

    // The top of the first row: down the panel's left inset, the first long run of the rows'
    // tint (a shade darker than the panel).
    static std::optional<int> topRow(const QImage& screen, const QRect& panel) {
        if (screen.isNull()) return std::nullopt;
        const int x = panel.x() + 15;
        const QColor background = screen.pixelColor(x, panel.y() + 4);
        int run = 0;
        for (int y = panel.y() + 60; y < std::min(panel.bottom(), screen.height()); ++y) {
            const int difference = background.lightness() - screen.pixelColor(x, y).lightness();
            if (difference >= 3 && difference <= 40) {
                if (++run >= 30) return y - run + 1;
            } else {
                run = 0;
            }
        }
        return std::nullopt;
    }

    // Each new frame's time and its CPU time, in milliseconds.
    std::vector<std::pair<double, double>> newFrames() {
        QFile file(m_frameLog);
        std::vector<std::pair<double, double>> frames;
        if (!file.open(QIODevice::ReadOnly)) return frames;
        file.seek(m_frameOffset);
        QByteArray data = file.readAll();
        const qsizetype end = data.lastIndexOf('\n');
        if (end < 0) return frames;
        data.truncate(end + 1);
        m_frameOffset += data.size();
        for (const QByteArray& line : data.split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() == 2)
                frames.emplace_back(fields[0].toDouble() / 1000.0, fields[1].toDouble() / 1000.0);
        }
        return frames;
    }

    QStringList strayDesktopFiles() {
        QStringList stray;
        const QStringList names =
            QDir(AppPaths::desktop())
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        static const QRegularExpression saved(QStringLiteral("^[mhc]\\d{5}\\.mp4$|^标题 c\\d{5}"));
        for (const QString& name : names) {
            if (!saved.match(name).hasMatch()) stray << name;
        }
        return stray;
    }

    QStringList temporaryFiles() {
        return QDir(AppPaths::temporary())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    }

    void report(int submitted, qint64 elapsedMs) {
        // Let the rows' exit and any last frames play out.
        QThread::msleep(1000);
        const ProcessFigures figures = measure(m_pid);
        const auto frames = newFrames();
        std::vector<double> whole, cpu;
        for (const auto& [frame, spent] : frames) {
            whole.push_back(frame);
            cpu.push_back(spent);
        }
        const int desktopFiles = int(
            QDir(AppPaths::desktop())
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
                .size());
        m_rss.push_back(figures.rssMiB);
        m_maxZombies = std::max(m_maxZombies, figures.zombies);
        m_maxChildren = std::max(m_maxChildren, figures.children);
        const double p99 = percentile(whole, 0.99);
        const double cpuP99 = percentile(cpu, 0.99);
        m_worstP99 = std::max(m_worstP99, p99);
        m_worstCpuP99 = std::max(m_worstCpuP99, cpuP99);
        m_fds.push_back(figures.fds);
        m_threads.push_back(figures.threads);
        const int stray = int(strayDesktopFiles().size());
        const int temporary = int(temporaryFiles().size());
        m_maxStray = std::max(m_maxStray, stray + temporary);
        std::printf(
            "| %d | %lld:%02lld | %.1f | %d | %d | %d | %d | %d | %d | %d | %zu | %.1f | %.1f | %s "
            "|\n",
            submitted, elapsedMs / 60000, (elapsedMs / 1000) % 60, figures.rssMiB, figures.fds,
            figures.threads, figures.children, figures.zombies, desktopFiles, stray, temporary,
            frames.size(), p99, cpuP99, qPrintable(loadAverage()));
        std::fflush(stdout);
    }

    // The saved files against their sources, byte for byte.
    int checkFiles(const QByteArray& hlsReference) {
        const QByteArray clip = sha1(m_media.clipBytes);
        int wrong = 0;
        for (const QString& name : std::as_const(m_saved)) {
            const QByteArray saved = sha1(fileBytes(AppPaths::desktop() + u'/' + name));
            const QByteArray expected = name.startsWith(u'h') ? hlsReference : clip;
            if (saved != expected) {
                ++wrong;
                std::fprintf(stderr, "differs from its source: %s\n", qPrintable(name));
            }
        }
        return wrong;
    }

public:
    QByteArray hlsReference;

private:
    int finish() {
        const int wrong = checkFiles(hlsReference);
        int expectedDone = m_planned[Kind::mp4] + m_planned[Kind::hls] + m_planned[Kind::channels];
        const QStringList stray = strayDesktopFiles() + temporaryFiles();
        // Quit as a person does from the tray menu's end: SIGTERM is the same quit sequence.
        ::kill(pid_t(m_pid), SIGTERM);
        const bool ended = m_app->waitForFinished(15000);
        const QStringList leftovers = TestSupport::liveProcessesMentioning(TestSupport::home());

        std::printf("\nmix:");
        for (const auto& [kind, planned] : m_planned)
            std::printf(" %s %d;", kindName(kind), planned);
        const double growth = m_rss.size() > 1 ? m_rss.back() - m_rss.front() : 0;
        std::printf(
            "\nruns: %d started, %d saved (of %d), %d failed, %d cancelled; %d clears (%d missed), "
            "%d panel actions retried, %d missed, %d links refused\n",
            m_starts, m_done, expectedDone, m_failed, m_cancelled, m_clears, m_clearMisses,
            m_actionRetries, m_actionMisses, m_refused);
        std::printf("RSS growth from the first report to the last: %.1f MiB (goal ≤ 10)\n", growth);
        std::printf("fds %d…%d, threads %d…%d; most children at a report %d, most zombies %d\n",
                    *std::min_element(m_fds.begin(), m_fds.end()),
                    *std::max_element(m_fds.begin(), m_fds.end()),
                    *std::min_element(m_threads.begin(), m_threads.end()),
                    *std::max_element(m_threads.begin(), m_threads.end()), m_maxChildren,
                    m_maxZombies);
        std::printf(
            "files differing from their source: %d of %lld; stray files at the end: %lld%s%s\n",
            wrong, qsizetype(m_saved.size()), qsizetype(stray.size()), stray.isEmpty() ? "" : " — ",
            qPrintable(stray.join(QStringLiteral(", "))));
        std::printf(
            "worst frame p99: %.1f ms, CPU spent on a frame p99 %.1f ms (goal ≤ 16); list emptied "
            "on clear: %s\n",
            m_worstP99, m_worstCpuP99, m_notEmptied ? "no" : "yes");
        std::printf("quit: %s; processes left behind: %lld\n", ended ? "ended" : "did not end",
                    qsizetype(leftovers.size()));
        for (const QString& process : leftovers) std::printf("  %s\n", qPrintable(process));
        const bool met = growth <= 10 && m_maxZombies == 0 && leftovers.isEmpty() &&
                         stray.isEmpty() && wrong == 0 && m_done == expectedDone &&
                         m_actionMisses == 0;
        std::printf(
            "goals (memory, processes, files, bytes, outcomes): %s; frame p99 ≤ 16 ms: %s "
            "(CPU per frame: %s)\n",
            met ? "met" : "NOT met", m_worstP99 <= 16 ? "met" : "NOT met",
            m_worstCpuP99 <= 16 ? "met" : "NOT met");
        return met ? 0 : 1;
    }

    DesktopSession& m_desktop;
    HttpTestServer& m_server;
    const Media& m_media;
    QString m_frameLog;
    QProcess* m_app = nullptr;
    qint64 m_pid = 0;
    QString m_panel;
    int m_emptyHeight = 0;
    LogFollower m_log;
    qint64 m_frameOffset = 0;
    int m_shots = 0;

    std::map<Kind, int> m_planned;
    int m_starts = 0, m_ends = 0, m_done = 0, m_failed = 0, m_cancelled = 0;
    int m_finishedSinceClear = 0, m_clears = 0, m_clearMisses = 0, m_notEmptied = 0;
    int m_actionRetries = 0, m_actionMisses = 0, m_refused = 0;
    QStringList m_saved;
    QSet<QString> m_cancelledLinks;
    std::vector<double> m_rss;
    std::vector<int> m_fds, m_threads;
    int m_maxZombies = 0, m_maxChildren = 0, m_maxStray = 0;
    double m_worstP99 = 0;
    double m_worstCpuP99 = 0;
};

// What yt-dlp and ffmpeg make of the HLS source outside the app, with the app's format choice:
// the bytes every HLS download must end up with.
QByteArray hlsReference(const QString& origin, const QString& root) {
    const QString folder = root + QStringLiteral("/reference");
    const auto result = TestSupport::run(
        QStringLiteral("yt-dlp"),
        {origin + QStringLiteral("/hls/reference.m3u8"), QStringLiteral("--no-playlist"),
         QStringLiteral("--no-mtime"), QStringLiteral("-S"),
         QStringLiteral("vcodec:h264,res,acodec:m4a"), QStringLiteral("--merge-output-format"),
         QStringLiteral("mp4"), QStringLiteral("-P"), QStringLiteral("home:") + folder,
         QStringLiteral("-o"), QStringLiteral("reference.%(ext)s")},
        {}, 120s);
    return sha1(fileBytes(folder + QStringLiteral("/reference.mp4")));
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/qvsoak-XXXXXX"));
    if (!root.isValid()) return 2;
    // SOAK_KEEP=1 keeps the run's home (log, frame times, Desktop) for a look afterwards.
    if (qEnvironmentVariableIntValue("SOAK_KEEP") == 1) {
        root.setAutoRemove(false);
        std::fprintf(stderr, "home kept at %s\n", qPrintable(root.path()));
    }
    TestSupport::usePrivateHome(root.path());
    QCoreApplication app(argc, argv);
    const int count = std::max(1, qEnvironmentVariableIntValue("COUNT") > 0
                                      ? qEnvironmentVariableIntValue("COUNT")
                                      : 1000);

    Media media;
    if (!media.make(root.path() + QStringLiteral("/media"))) {
        std::fprintf(stderr, "could not make the media with ffmpeg\n");
        return 2;
    }
    HttpTestServer server;
    server.setHandler(handler(media, server.origin()));
    const QByteArray reference = hlsReference(server.origin(), root.path());

    // Logged in to Yuanbao: the stand-in service answers every share link.
    QNetworkCookie login("hy_token", "token");
    login.setDomain(QStringLiteral("127.0.0.1"));
    login.setPath(QStringLiteral("/"));
    login.setExpirationDate(QDateTime::currentDateTimeUtc().addDays(30));
    CookieJar::write({login});
    Settings::setFirstRunShown(true);

    DesktopSession desktop(DesktopSession::Tray::xembed);
    if (!desktop.problem().isEmpty()) {
        std::fprintf(stderr, "desktop: %s\n", qPrintable(desktop.problem()));
        return 2;
    }
    const QString frameLog = root.path() + QStringLiteral("/frames.log");
    Soak soak(desktop, server, media, frameLog);
    soak.hlsReference = reference;
    std::printf("soak: %d links through one quorvin, up to 8 at once (load %s)\n\n", count,
                qPrintable(loadAverage()));
    if (!soak.start({QStringLiteral("QUORVIN_YUANBAO_ORIGIN=") + server.origin(),
                     QStringLiteral("QUORVIN_CHANNELS_ORIGIN=") + server.origin(),
                     QStringLiteral("QUORVIN_FRAME_LOG=") + frameLog})) {
        std::fprintf(stderr, "quorvin did not come up\n");
        return 2;
    }
    return soak.run(count);
}
