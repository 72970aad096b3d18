// A row's picture comes from an address that a web page or a feed chose: only a web address is
// fetched, a plain cover shows, and a huge one is cut off early instead of filling memory.

#include "common/http_test_server.h"
#include "common/test_support.h"
#include "gui/item_list_model.h"
#include "panel_harness.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <thread>

namespace {

using namespace std::chrono_literals;

const QString kLink = QStringLiteral("https://www.youtube.com/watch?v=abc");
constexpr qint64 kMiB = 1024 * 1024;

QQuickItem* picture(PanelHarness& panel, const DownloadManager::ItemPointer& item) {
    const QList<QQuickItem*> found = panel.all(QStringLiteral("thumbnailImage"), panel.row(item));
    return found.isEmpty() ? nullptr : found.first();
}

// Image.status: Null 0, Ready 1, Loading 2, Error 3.
int status(QQuickItem* image) {
    return image ? image->property("status").toInt() : -1;
}

QByteArray jpeg(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return bytes;
}

// The highest resident memory this process has had, in bytes.
qint64 peakResident() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ')[0].toLongLong() * 1024;
    }
    return 0;
}

// One connection's worth of a cover that never ends: a 200 answer (announcing 2 GiB, or no
// length at all) followed by zeros until the client goes away or `limit` bytes are out. The
// limit only keeps a loader that does not stop from taking the machine's memory.
class EndlessCover {
public:
    EndlessCover(bool announced, qint64 limit) : m_announced(announced), m_limit(limit) {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length);
        ::listen(m_listener, 4);
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~EndlessCover() {
        ::shutdown(m_listener, SHUT_RDWR);  // ends a wait in accept()
        m_thread.join();
        ::close(m_listener);
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/cover.jpg").arg(m_port)); }

    std::atomic<qint64> sent{0};
    std::atomic<bool> over{false};

private:
    void serve() {
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) return;
        QByteArray request;
        char buffer[4096];
        while (!request.contains("\r\n\r\n")) {
            const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            request.append(buffer, got);
        }
        QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nConnection: close\r\n";
        if (m_announced) head += "Content-Length: 2147483648\r\n";
        head += "\r\n";
        ::send(client, head.constData(), size_t(head.size()), MSG_NOSIGNAL);
        const QByteArray zeros(64 * 1024, '\0');
        while (sent < m_limit) {
            const ssize_t out =
                ::send(client, zeros.constData(), size_t(zeros.size()), MSG_NOSIGNAL);
            if (out <= 0) break;
            sent += out;
        }
        ::close(client);
        over = true;
    }

    const bool m_announced;
    const qint64 m_limit;
    int m_listener = -1;
    quint16 m_port = 0;
    std::thread m_thread;
};

}  // namespace

TEST(Thumbnail, AWebCoverShowsAndAnyOtherAddressIsNeverOpened) {
    const QByteArray cover = jpeg(QSize(640, 360));
    HttpTestServer server([&](const HttpTestServer::Request&) {
        HttpTestServer::Reply reply;
        reply.headers = {{"Content-Type", "image/jpeg"}};
        reply.body = cover;
        return reply;
    });
    const QString local =
        TestSupport::writeFile(TestSupport::home() + QStringLiteral("/local.jpg"), cover);
    PanelHarness panel;
    const auto web = panel.add(kLink, Phase::makeWorking(QStringLiteral("正在解析链接…")));
    web->setThumbnail(server.url(QStringLiteral("/cover.jpg")));
    const auto file = panel.add(kLink + "2", Phase::makeWorking(QStringLiteral("正在解析链接…")));
    file->setThumbnail(QUrl::fromLocalFile(local));
    const auto resource = panel.add(kLink + "3", Phase::makeWorking(QStringLiteral("…")));
    resource->setThumbnail(QUrl(QStringLiteral("qrc:/quorvin/icons/link.svg")));

    ASSERT_TRUE(TestSupport::waitUntil([&] { return status(picture(panel, web)) == 1; }, 10s));
    EXPECT_TRUE(picture(panel, web)->isVisible());
    // Decoded at the size it is shown (64 × 40, cropped), not at the cover's own.
    EXPECT_LE(picture(panel, web)->property("implicitWidth").toInt(), 2 * 72);
    EXPECT_LE(picture(panel, web)->property("implicitHeight").toInt(), 2 * 40);
    panel.settle();
    for (const auto& refused : {file, resource}) {
        EXPECT_EQ(picture(panel, refused)->property("source").toUrl().toString(), QString());
        EXPECT_FALSE(picture(panel, refused)->isVisible());
    }
    const ItemListModel model(panel.manager());
    EXPECT_EQ(model.data(model.index(1), ItemListModel::thumbnailRole).toUrl().toString(),
              QString());
    EXPECT_EQ(model.data(model.index(2), ItemListModel::thumbnailRole).toUrl().scheme(), "image");
}

class HugeCover : public ::testing::TestWithParam<bool> {};

TEST_P(HugeCover, IsCutOffEarlyAndShowsNothing) {
    // A loader without a cap would read it all; the server gives up at 256 MiB.
    EndlessCover server(GetParam(), 256 * kMiB);
    PanelHarness panel;
    PanelHarness::expectQmlWarning(QStringLiteral("ItemThumbnail.qml"));  // the refusal
    const auto item = panel.add(kLink, Phase::makeWorking(QStringLiteral("正在解析链接…")));
    const qint64 peakBefore = peakResident();
    QElapsedTimer clock;
    clock.start();
    item->setThumbnail(server.url());

    ASSERT_TRUE(TestSupport::waitUntil([&] { return server.over.load(); }, 60s));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return status(picture(panel, item)) == 3; }, 10s));
    const qint64 failedAfter = clock.elapsed();
    const qint64 growth = peakResident() - peakBefore;
    std::cout << "cover " << (GetParam() ? "announcing 2 GiB" : "of no length") << ": "
              << server.sent / kMiB << " MiB sent, peak resident +" << growth / kMiB
              << " MiB, refused after " << failedAfter << " ms\n";
    EXPECT_LT(server.sent.load(), 16 * kMiB);
    EXPECT_LT(growth, 64 * kMiB);
    EXPECT_FALSE(picture(panel, item)->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Thumbnail, HugeCover, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Announced" : "Unannounced"; });
