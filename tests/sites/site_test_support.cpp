#include "sites/site_test_support.h"

#include "common/test_media.h"
#include "common/test_support.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>

namespace SiteTest {

QString toolsDir() {
    const QString dir = TestSupport::home() + QStringLiteral("/fake-tools");
    QDir().mkpath(dir);
    return dir;
}

Tools::Settings fakeToolsFirst() {
    Tools::Settings settings;
    settings.searchDirs = {toolsDir(), QStringLiteral("/usr/bin")};
    return settings;
}

QString writeTool(const QString& name, const QByteArray& script) {
    const QString path = TestSupport::writeFile(toolsDir() + QLatin1Char('/') + name, script);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                    QFile::ReadGroup | QFile::ExeGroup);
    return path;
}

bool makeDash(const QString& folder, int seconds) {
    QDir().mkpath(folder);
    return TestMedia::ffmpeg(TestMedia::clipSources(seconds) +
                             QStringList{QStringLiteral("-map"), QStringLiteral("0:v"),
                                         QStringLiteral("-map"), QStringLiteral("1:a"),
                                         QStringLiteral("-f"), QStringLiteral("dash"),
                                         QStringLiteral("-adaptation_sets"),
                                         QStringLiteral("id=0,streams=v id=1,streams=a"),
                                         folder + QStringLiteral("/manifest.mpd")});
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

HttpServer::HttpServer(const QString& folder) : m_server(HttpTestServer::folder(folder)) {}

QString HttpServer::url(const QString& path) const {
    return m_server.url(QLatin1Char('/') + path).toString();
}

int closedPort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();  // closed again when `server` goes
}

}  // namespace SiteTest
