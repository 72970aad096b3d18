// 50 Channels downloads at once through the download manager, from a loopback server playing the
// Yuanbao, Channels and video services. Checks every saved file against its source and that no
// temporary file is left; reports the wall time, the peak RSS, and how late a 10 ms timer on the
// main thread fires while the downloads run (the panel's responsiveness).
//
//   build/bench/manager_load_bench [downloads=50] [megabytes each=20]

#include "channels/cookie_jar.h"
#include "channels/yuanbao.h"
#include "common/http_test_server.h"
#include "common/private_home.h"
#include "manager/download_manager.h"
#include "support/app_paths.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkCookie>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>

#include <sys/resource.h>
#include <algorithm>
#include <csignal>
#include <cstdio>

namespace {

// Distinct content per file and per mebibyte, so a swapped or misplaced block is noticed.
QByteArray sourceBytes(int index, qint64 size) {
    static const QByteArray block = [] {
        QByteArray bytes(1 << 20, Qt::Uninitialized);
        quint32 state = 2166136261u;
        for (char& byte : bytes) {
            state = state * 16777619u + 1;
            byte = char(state >> 24);
        }
        return bytes;
    }();
    QByteArray bytes;
    bytes.reserve(size);
    for (qint64 mebibyte = 0; bytes.size() < size; ++mebibyte) {
        const QByteArray stamp = QByteArray::number(index) + ':' + QByteArray::number(mebibyte);
        bytes.append(stamp).append(block.constData(), block.size() - stamp.size());
    }
    bytes.truncate(size);
    // A whole MP4's top level, as the save checks it: "ftyp", an empty "moov", then one "mdat"
    // box holding the rest of the stamped bytes.
    QByteArray head(
        "\x00\x00\x00\x18"
        "ftypisom\x00\x00\x02\x00"
        "isommp42"
        "\x00\x00\x00\x08"
        "moov",
        32);
    QByteArray mdat(4, '\0');
    qToBigEndian(quint32(size - head.size()), mdat.data());
    head += mdat + "mdat";
    return bytes.replace(0, head.size(), head);
}

HttpTestServer::Reply json(const QJsonObject& object) {
    return HttpTestServer::Reply::json(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    const int downloads = argc > 1 ? std::atoi(argv[1]) : 50;
    const qint64 megabytes = argc > 2 ? std::atoll(argv[2]) : 20;

    // A private home: the Desktop, the log and the cookie jar of this run only.
    QTemporaryDir home;
    TestSupport::usePrivateHome(home.path());

    const QString media = home.path() + QStringLiteral("/media");
    QDir().mkpath(media);
    QList<QByteArray> digests;
    for (int i = 0; i < downloads; ++i) {
        const QByteArray bytes = sourceBytes(i, megabytes << 20);
        QFile file(media + QStringLiteral("/%1.mp4").arg(i));
        if (!file.open(QIODevice::WriteOnly)) return 1;
        file.write(bytes);
        digests.append(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256));
    }

    HttpTestServer server;
    qputenv("QUORVIN_YUANBAO_ORIGIN", server.origin().toUtf8());
    qputenv("QUORVIN_CHANNELS_ORIGIN", server.origin().toUtf8());
    const QString origin = server.origin();
    server.setHandler([&](const HttpTestServer::Request& request) {
        const QJsonObject body = QJsonDocument::fromJson(request.body).object();
        if (request.path() == "/api/weixin/get_parse_result") {
            const QString id = body.value(QStringLiteral("url")).toString().section(u'/', -1);
            return json({{QStringLiteral("code"), 0},
                         {QStringLiteral("data"),
                          QJsonObject{{QStringLiteral("wx_export_id"), QStringLiteral("W") + id},
                                      {QStringLiteral("playable_url"),
                                       origin + QStringLiteral("/p?token=T&eid=E") + id}}}});
        }
        if (request.path() == "/finder-preview/api/feed/get_feed_info") {
            const QString id = body.value(QStringLiteral("exportId")).toString().mid(1);
            return json(
                {{QStringLiteral("errCode"), 0},
                 {QStringLiteral("data"),
                  QJsonObject{{QStringLiteral("feedInfo"),
                               QJsonObject{{QStringLiteral("description"), id},
                                           {QStringLiteral("h264VideoInfo"),
                                            QJsonObject{{QStringLiteral("videoUrl"),
                                                         origin + QStringLiteral("/v/") + id +
                                                             QStringLiteral(".mp4")}}}}}}}});
        }
        HttpTestServer::Reply reply;
        reply.file = media + u'/' + QString::fromUtf8(request.path()).section(u'/', -1);
        reply.headers = {{"Content-Type", "video/mp4"}};
        return reply;
    });

    QCoreApplication app(argc, argv);
    QNetworkCookie login("hy_token", "bench");
    login.setDomain(Yuanbao::host());
    login.setPath(QStringLiteral("/"));
    login.setExpirationDate(QDateTime::currentDateTimeUtc().addDays(1));
    CookieJar::write({login});

    DownloadManager manager{DesktopServices{}, YtDlp::Settings{}};
    QList<DownloadManager::ItemPointer> items;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < downloads; ++i) {
        const QUrl link(QStringLiteral("https://weixin.qq.com/sph/%1").arg(i));
        items.append(manager.submit(link, Platform::detect(link)));
    }

    // How late a 10 ms timer fires while the downloads run.
    QList<double> lateness;
    QElapsedTimer tick;
    tick.start();
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        lateness.append(std::max(0.0, double(tick.nsecsElapsed()) / 1e6 - 10.0));
        tick.restart();
        if (std::all_of(items.begin(), items.end(),
                        [](const auto& item) { return item->isFinished(); })) {
            app.quit();
        }
    });
    timer.start(10);
    app.exec();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;

    int identical = 0, failed = 0;
    for (int i = 0; i < downloads; ++i) {
        const Phase& phase = items[i]->phase();
        if (phase.kind() != Phase::done) {
            ++failed;
            std::fprintf(stderr, "item %d: %s %s\n", i, qPrintable(phase.failure().title),
                         qPrintable(phase.failure().advice));
            continue;
        }
        QFile saved(phase.file());
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (saved.open(QIODevice::ReadOnly) && hash.addData(&saved) &&
            hash.result() == digests[i]) {
            ++identical;
        }
    }
    const QStringList leftovers =
        QDir(QDir::tempPath())
            .entryList({QStringLiteral("quorvin-*")}, QDir::AllEntries | QDir::NoDotAndDotDot);
    std::sort(lateness.begin(), lateness.end());
    const auto percentile = [&](double p) {
        return lateness.isEmpty() ? 0.0 : lateness[qsizetype(p * double(lateness.size() - 1))];
    };
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double total = double(downloads) * double(megabytes);
    std::printf(
        "downloads: %d x %lld MiB, %d byte-identical, %d failed, %lld temporary leftovers\n",
        downloads, static_cast<long long>(megabytes), identical, failed,
        static_cast<long long>(leftovers.size()));
    std::printf("wall: %.2f s (%.0f MiB/s)\n", seconds, total / seconds);
    std::printf("peak RSS: %.1f MiB\n", double(usage.ru_maxrss) / 1024.0);
    std::printf("main-thread timer lateness: p50 %.2f ms, p99 %.2f ms, max %.2f ms (%lld ticks)\n",
                percentile(0.5), percentile(0.99), percentile(1.0),
                static_cast<long long>(lateness.size()));
    return identical == downloads && leftovers.isEmpty() ? 0 : 1;
}
