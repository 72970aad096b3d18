// FileDownload throughput and memory against a local HTTP server.
//
//   file_download_bench serve FILE     serve FILE on 127.0.0.1 (sendfile), print "PORT <n>",
//                                      run until standard input closes
//   file_download_bench fetch URL      one FileDownload of URL into $TMPDIR; prints bytes,
//                                      seconds, MB/s and this process's peak RSS, then deletes
//                                      the file
//   file_download_bench [MiB]          both in one process (default 256 MiB), for bench/run.sh
//
// bench/file_download_bench.sh compares `fetch` with `curl -o FILE` on a 1 GiB file.

#include "channels/file_download.h"
#include "net/problem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <QCoro/QCoroTask>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <thread>

namespace {

// A deliberately minimal HTTP/1.1 file server: every GET gets the whole file with its length,
// streamed by the kernel, so the server is never what limits the measurement.
class FileServer {
public:
    explicit FileServer(QByteArray path) : m_path(std::move(path)) {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listener, 16) != 0) {
            std::perror("listen");
            std::exit(1);
        }
        socklen_t length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        std::thread([this] { acceptLoop(); }).detach();
    }
    quint16 port() const { return m_port; }

private:
    void acceptLoop() {
        for (;;) {
            const int socket = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (socket < 0) continue;
            std::thread([this, socket] { serve(socket); }).detach();
        }
    }

    void serve(int socket) {
        char request[8192];
        size_t have = 0;
        while (have < sizeof request) {
            const ssize_t got = ::recv(socket, request + have, sizeof request - have, 0);
            if (got <= 0) break;
            have += size_t(got);
            if (QByteArrayView(request, qsizetype(have)).contains("\r\n\r\n")) break;
        }
        const int file = ::open(m_path.constData(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        ::fstat(file, &info);
        const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: video/mp4\r\nContent-Length: " +
                                QByteArray::number(qint64(info.st_size)) +
                                "\r\nConnection: close\r\n\r\n";
        ::send(socket, head.constData(), size_t(head.size()), MSG_NOSIGNAL);
        off_t offset = 0;
        while (offset < info.st_size) {
            if (::sendfile(socket, file, &offset, size_t(info.st_size - offset)) <= 0) break;
        }
        ::close(file);
        ::shutdown(socket, SHUT_WR);
        char sink[256];
        while (::recv(socket, sink, sizeof sink, 0) > 0) {
        }
        ::close(socket);
    }

    QByteArray m_path;
    int m_listener = -1;
    quint16 m_port = 0;
};

long peakRssKiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QCoro::Task<> fetchOnce(QUrl url, int* exitCode) {
    FileDownload download(nullptr);
    QElapsedTimer clock;
    clock.start();
    try {
        const FileDownload::Result result = co_await download.run(url);
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        const qint64 bytes = QFile(result.file).size();
        QFile::remove(result.file);
        std::printf(
            "filedownload bytes=%lld seconds=%.3f mbps=%.1f peak_rss_mib=%.1f buffer_mib=%.1f\n",
            qlonglong(bytes), seconds, double(bytes) / 1e6 / seconds, double(peakRssKiB()) / 1024.0,
            double(FileDownload::kReadBufferSize) / 1048576.0);
        *exitCode = 0;
    } catch (const Problem& problem) {
        std::fprintf(stderr, "failed: %s %s\n", qPrintable(problem.title()),
                     qPrintable(problem.detail()));
        *exitCode = 1;
    }
    QCoreApplication::quit();
}

int fetch(const QUrl& url) {
    int exitCode = 2;
    QTimer::singleShot(0, [&] { fetchOnce(url, &exitCode); });
    QCoreApplication::exec();
    return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const QString mode = arguments.value(1);

    if (mode == u"serve" && arguments.size() == 3) {
        FileServer server(QFile::encodeName(arguments[2]));
        std::printf("PORT %u\n", unsigned(server.port()));
        std::fflush(stdout);
        char sink[64];
        while (::read(0, sink, sizeof sink) > 0) {
        }
        return 0;
    }
    if (mode == u"fetch" && arguments.size() == 3) return fetch(QUrl(arguments[2]));

    // Self-contained run: a generated file, served and fetched in this one process.
    const qint64 mib = mode.isEmpty() ? 256 : mode.toLongLong();
    if (mib <= 0) {
        std::fprintf(stderr, "usage: %s [serve FILE | fetch URL | MiB]\n", argv[0]);
        return 2;
    }
    QTemporaryDir folder;
    const QString source = folder.filePath(QStringLiteral("source.bin"));
    {
        QFile file(source);
        if (!file.open(QIODevice::WriteOnly)) return 1;
        QByteArray block(1024 * 1024, 'q');
        for (qint64 i = 0; i < mib; ++i) file.write(block);
    }
    qputenv("TMPDIR", QFile::encodeName(folder.path()));
    FileServer server(QFile::encodeName(source));
    return fetch(QUrl(QStringLiteral("http://127.0.0.1:%1/video.mp4").arg(server.port())));
}
