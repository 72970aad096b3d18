#include "legacy/legacy.h"

#include "osutils/osutils.h"
#include "osutils/processes.h"
#include "support/app_paths.h"
#include "support/log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>

namespace {

QString oldSupportEntry(const QString& name) {
    return AppPaths::oldSupport() + u'/' + name;
}

void removeEntry(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink()) {
        QDir(path).removeRecursively();
    } else if (info.exists() || info.isSymLink()) {
        QFile::remove(path);
    }
}

void removeOldSupportIfEmpty() {
    const QDir folder(AppPaths::oldSupport());
    const QStringList entries =
        folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        if (entry != u".DS_Store") return;
    }
    if (folder.exists()) QDir(AppPaths::oldSupport()).removeRecursively();
}

void stopOldEngine(const Legacy::Session& session) {
    if (session.enginePID <= 0) return;
    if (::kill(session.enginePID, 0) != 0) return;
    // The id may belong to another program by now: stop it only if it is still the old engine.
    const auto executable = OsUtils::executableOf(session.enginePID);
    if (executable && *executable == session.enginePath) ::kill(session.enginePID, SIGTERM);
}

}  // namespace

namespace Legacy {

std::optional<Session> Session::decode(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();
    const auto string = [&](const char* key) -> std::optional<QString> {
        const QJsonValue value = object.value(QLatin1StringView(key));
        if (!value.isString()) return std::nullopt;
        return value.toString();
    };
    const QJsonValue pid = object.value(QStringLiteral("enginePID"));
    const QJsonValue enabled = object.value(QStringLiteral("priorPACEnabled"));
    if (!pid.isDouble() || !enabled.isBool()) return std::nullopt;
    const double pidValue = pid.toDouble();
    // The range first: converting a value outside it is undefined.
    if (!(pidValue >= INT32_MIN && pidValue <= INT32_MAX) || std::trunc(pidValue) != pidValue) {
        return std::nullopt;
    }
    const auto enginePath = string("enginePath");
    const auto serviceID = string("serviceID");
    const auto serviceName = string("serviceName");
    const auto priorPACURL = string("priorPACURL");
    const auto ourPACURL = string("ourPACURL");
    if (!enginePath || !serviceID || !serviceName || !priorPACURL || !ourPACURL) {
        return std::nullopt;
    }
    return Session{qint32(pidValue), *enginePath,  *serviceID, *serviceName,
                   enabled.toBool(), *priorPACURL, *ourPACURL};
}

QString sessionFile() {
    return oldSupportEntry(QStringLiteral("session.json"));
}
QString certificateFile() {
    return oldSupportEntry(QStringLiteral("ca.pem"));
}
QString keyFile() {
    return oldSupportEntry(QStringLiteral("ca.key"));
}

void migrateLogs() {
    if (!QFileInfo(AppPaths::oldLogs()).isDir()) return;
    AppPaths::ensureDirectories();
    if (!QFileInfo::exists(AppPaths::appLog())) {
        QFile::rename(AppPaths::oldLogs() + QStringLiteral("/app.log"), AppPaths::appLog());
    }
    QDir(AppPaths::oldLogs()).removeRecursively();
}

CleanUp::CleanUp() : CleanUp(OsUtils::proxyStore(), OsUtils::trustStore()) {}

CleanUp::CleanUp(OsUtils::ProxyStore& proxies, OsUtils::TrustStore& trust)
    : m_proxies(&proxies), m_trust(&trust) {}

void CleanUp::undoProxy(const Session& session) {
    const std::optional<QString> current = m_proxies->autoProxyURL(session.serviceID);
    // Somebody changed the setting since: theirs now, not ours to undo.
    if (!current || *current != session.ourPACURL) return;
    if (!session.priorPACURL.isEmpty() && !session.priorPACURL.contains(u"/quorvin.pac")) {
        m_proxies->setAutoProxyURL(session.serviceName, session.priorPACURL);
    }
    m_proxies->setAutoProxyEnabled(session.serviceName, session.priorPACEnabled);
}

void CleanUp::cleanUpSilently() {
    // An undo the previous edition did not finish: its record takes the place of the session.
    const QStringList entries =
        QDir(AppPaths::oldSupport())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDir::Name);
    for (const QString& entry : entries) {
        if (!entry.startsWith(u"session.undoing.")) continue;
        const QString path = oldSupportEntry(entry);
        if (QFileInfo::exists(sessionFile())) {
            QFile::remove(path);
        } else {
            ::rename(QFile::encodeName(path).constData(),
                     QFile::encodeName(sessionFile()).constData());
        }
    }

    QFile record(sessionFile());
    if (record.open(QIODevice::ReadOnly)) {
        const QByteArray contents = record.readAll();
        record.close();
        if (const auto session = Session::decode(contents)) {
            undoProxy(*session);
            stopOldEngine(*session);
            Log::write(QStringLiteral("已撤销旧版遗留的系统代理改动"));
        }
        QFile::remove(sessionFile());
    }

    for (const char* name :
         {"engine-config.yaml", "data.db", "data.db-shm", "data.db-wal", "cache"}) {
        removeEntry(oldSupportEntry(QString::fromLatin1(name)));
    }
    // Where no store can have trusted the certificate, it and its key are leftovers like the
    // rest: there is nothing to ask the user about.
    if (!m_trust->canHoldTrust()) {
        removeEntry(certificateFile());
        removeEntry(keyFile());
    }
    removeOldSupportIfEmpty();
}

bool CleanUp::hasOldCertificate() const {
    return m_trust->canHoldTrust() && QFileInfo::exists(certificateFile());
}

void CleanUp::removeOldCertificate() {
    if (!hasOldCertificate()) return;
    const QString certificate = certificateFile();
    m_trust->removeTrust(certificate);
    const std::optional<bool> trusted = m_trust->stillTrusted(certificate);
    // A check that could not run says nothing about the trust: keep the files, so the removal
    // can be offered again, rather than report a removal that never happened.
    if (!trusted) return;
    if (!*trusted) {
        QFile::remove(certificate);
        QFile::remove(keyFile());
        Log::write(QStringLiteral("已移除旧版证书"));
        removeOldSupportIfEmpty();
    } else {
        Log::write(
            QStringLiteral("旧证书仍被信任（可能取消了密码弹窗），保留证书文件以便下次再移除"));
    }
}

}  // namespace Legacy
