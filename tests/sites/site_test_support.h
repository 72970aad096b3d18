#pragma once

#include "core/failure.h"
#include "sites/tools.h"

#include "common/http_test_server.h"
#include "common/test_support.h"

#include <QString>
#include <QStringList>

#include <qcoro/qcorotask.h>

#include <memory>
#include <variant>

class DownloadItem;

// Helpers of the site downloader tests: fake tools, media made with ffmpeg's test sources, and
// a loopback HTTP server over a folder.
namespace SiteTest {

// A folder in the test's home for fake tools.
QString toolsDir();
// Tool settings that search toolsDir() first, then /usr/bin.
Tools::Settings fakeToolsFirst();
// Writes an executable script into toolsDir() and returns its path.
QString writeTool(const QString& name, const QByteArray& script);

// A short clip (TestMedia::makeClip) as DASH with separate picture and sound streams:
// folder/manifest.mpd.
bool makeDash(const QString& folder, int seconds);

using TestSupport::liveProcessesMentioning;

// Every file directly in a folder.
QStringList filesIn(const QString& folder);

// The loopback test server over a folder (HttpTestServer::folder), for the lifetime of the
// object.
class HttpServer {
public:
    explicit HttpServer(const QString& folder);
    bool isListening() const { return m_server.port() > 0; }
    QString url(const QString& path) const;

private:
    HttpTestServer m_server;
};

// A port on 127.0.0.1 that nothing listens on.
int closedPort();

// Runs a coroutine to its end in a nested event loop and returns its value or the Failure it
// threw. QCoro::waitFor alone cannot carry an exception out: its loop never ends.
template <typename T>
std::variant<T, Failure> outcome(QCoro::Task<T> task) {
    auto catching = [](QCoro::Task<T> inner) -> QCoro::Task<std::variant<T, Failure>> {
        try {
            co_return co_await inner;
        } catch (const Failure& failure) {
            co_return failure;
        }
    };
    return QCoro::waitFor(catching(std::move(task)));
}

}  // namespace SiteTest
