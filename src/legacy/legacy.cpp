#include "legacy/legacy.h"

#include "support/app_paths.h"
#include "support/log.h"
#include "support/shell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>
#include <cerrno>
#include <cmath>
#include <csignal>

namespace {

Legacy::Commands& commandPaths() {
    static Legacy::Commands paths;
    return paths;
}

Legacy::DynamicStore& dynamicStore() {
    // On Linux no service proxies exist to be found.
    static Legacy::DynamicStore store = [](const QString&) -> std::optional<QVariantMap> {
        return std::nullopt;
    };
    return store;
}

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

// The executable of a live process, read from /proc (the kernel truncates nothing below 4 KiB).
std::optional<QString> executableOf(qint32 pid) {
    char buffer[4096];
    const QByteArray link = "/proc/" + QByteArray::number(pid) + "/exe";
    const ssize_t n = ::readlink(link.constData(), buffer, sizeof buffer);
    if (n <= 0 || n >= ssize_t(sizeof buffer)) return std::nullopt;
    return QFile::decodeName(QByteArray(buffer, n));
}

void undoProxy(const Legacy::Session& session) {
    const auto proxies = dynamicStore()(QStringLiteral("Setup:/Network/Service/") +
                                        session.serviceID + QStringLiteral("/Proxies"));
    if (!proxies) return;
    const QVariant current = proxies->value(QStringLiteral("ProxyAutoConfigURLString"));
    const QString currentURL =
        current.typeId() == QMetaType::QString ? current.toString() : QString();
    // Somebody changed the setting since: theirs now, not ours to undo.
    if (currentURL != session.ourPACURL) return;
    const QString networksetup = commandPaths().networksetup;
    if (!session.priorPACURL.isEmpty() && !session.priorPACURL.contains(u"/quorvin.pac")) {
        Shell::run(networksetup,
                   {QStringLiteral("-setautoproxyurl"), session.serviceName, session.priorPACURL});
    }
    Shell::run(networksetup,
               {QStringLiteral("-setautoproxystate"), session.serviceName,
                session.priorPACEnabled ? QStringLiteral("on") : QStringLiteral("off")});
}

void stopOldEngine(const Legacy::Session& session) {
    if (session.enginePID <= 0) return;
    if (::kill(session.enginePID, 0) != 0) return;
    // The id may belong to another program by now: stop it only if it is still the old engine.
    const auto executable = executableOf(session.enginePID);
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

const Commands& commands() {
    return commandPaths();
}
void setCommandsForTesting(const Commands& replacement) {
    commandPaths() = replacement;
}
void setDynamicStoreForTesting(DynamicStore store) {
    dynamicStore() = std::move(store);
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

void cleanUpSilently() {
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
    removeOldSupportIfEmpty();
}

bool hasOldCertificate() {
    return QFileInfo::exists(certificateFile());
}

void removeOldCertificate() {
    if (!hasOldCertificate()) return;
    const QString security = commandPaths().security;
    const QString certificate = certificateFile();
    Shell::run(security, {QStringLiteral("remove-trusted-cert"), certificate});

    const CommandResult fingerprintRun = Shell::run(
        commandPaths().openssl,
        {QStringLiteral("x509"), QStringLiteral("-in"), certificate, QStringLiteral("-noout"),
         QStringLiteral("-fingerprint"), QStringLiteral("-sha1")});
    const QStringList pieces = fingerprintRun.output.split(u'=', Qt::SkipEmptyParts);
    const QString fingerprint =
        pieces.isEmpty() ? QString() : QString(pieces.last()).remove(u':').trimmed();
    if (!fingerprint.isEmpty()) {
        Shell::run(security,
                   {QStringLiteral("delete-certificate"), QStringLiteral("-Z"), fingerprint,
                    AppPaths::home() + QStringLiteral("/Library/Keychains/login.keychain-db")});
    }

    const CommandResult verify =
        Shell::run(security, {QStringLiteral("verify-cert"), QStringLiteral("-c"), certificate,
                              QStringLiteral("-p"), QStringLiteral("basic"), QStringLiteral("-l"),
                              QStringLiteral("-L"), QStringLiteral("-q")});
    // A check that could not even start says nothing about the trust: keep the files, so the
    // removal can be offered again, rather than report a removal that never happened.
    if (verify.status == -1) return;
    if (verify.status != 0) {
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
