#include "legacy/legacy.h"
#include "common/test_support.h"
#include "support/app_paths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace {

QString oldSupport(const QString& name) {
    return AppPaths::oldSupport() + u'/' + name;
}

// Stand-ins for networksetup, security and openssl: each appends its arguments, one call per
// line, to calls.txt; "security verify-cert" exits with the status written in verify-status.
class LegacyTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_bin = TestSupport::home() + QStringLiteral("/bin");
        Legacy::Commands commands;
        commands.networksetup = tool(QStringLiteral("networksetup"), "");
        commands.security = tool(QStringLiteral("security"),
                                 "if [ \"$1\" = verify-cert ]; then exit $(cat \"$(dirname "
                                 "\"$0\")/verify-status\"); fi\n");
        commands.openssl = tool(QStringLiteral("openssl"), "echo 'SHA1 Fingerprint=AB:CD:EF:01'\n");
        Legacy::setCommandsForTesting(commands);
        setVerifyStatus(1);
        m_store.clear();
        Legacy::setDynamicStoreForTesting([this](const QString& key) -> std::optional<QVariantMap> {
            if (!m_store.contains(key)) return std::nullopt;
            return m_store.value(key);
        });
    }

    QString tool(const QString& name, const QByteArray& body) {
        const QString path = m_bin + u'/' + name;
        TestSupport::writeFile(path, "#!/bin/sh\necho \"" + name.toUtf8() +
                                         " $*\" >> \"$(dirname \"$0\")/calls.txt\"\n" + body);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    void setVerifyStatus(int status) {
        TestSupport::writeFile(m_bin + QStringLiteral("/verify-status"),
                               QByteArray::number(status));
    }

    QStringList calls() const {
        QFile file(m_bin + QStringLiteral("/calls.txt"));
        if (!file.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

    static QByteArray session(qint64 pid, const QString& path, bool priorEnabled,
                              const QString& priorURL, const QString& ourURL) {
        return QJsonDocument(QJsonObject{{QStringLiteral("enginePID"), pid},
                                         {QStringLiteral("enginePath"), path},
                                         {QStringLiteral("serviceID"), QStringLiteral("SVC-1")},
                                         {QStringLiteral("serviceName"), QStringLiteral("Wi-Fi")},
                                         {QStringLiteral("priorPACEnabled"), priorEnabled},
                                         {QStringLiteral("priorPACURL"), priorURL},
                                         {QStringLiteral("ourPACURL"), ourURL}})
            .toJson();
    }

    void currentPAC(const QString& url) {
        m_store.insert(QStringLiteral("Setup:/Network/Service/SVC-1/Proxies"),
                       QVariantMap{{QStringLiteral("ProxyAutoConfigURLString"), url}});
    }

    static bool logged(const QString& message) {
        const QStringList lines = TestSupport::logLines();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const QString& line) { return line.endsWith(message); });
    }

    // A real process standing in for the old engine.
    static void startEngine(QProcess& engine) {
        engine.start(QStringLiteral("/bin/sleep"), {QStringLiteral("300")});
        ASSERT_TRUE(engine.waitForStarted());
    }

    QString m_bin;
    QHash<QString, QVariantMap> m_store;
};

}  // namespace

TEST_F(LegacyTest, NothingToDoWithoutOldFolders) {
    Legacy::migrateLogs();
    Legacy::cleanUpSilently();
    Legacy::removeOldCertificate();
    EXPECT_FALSE(Legacy::hasOldCertificate());
    EXPECT_FALSE(QFileInfo::exists(AppPaths::appLog()));
    EXPECT_TRUE(calls().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(AppPaths::oldSupport()));
}

TEST_F(LegacyTest, OldLogMovesInUnlessANewOneExists) {
    TestSupport::writeFile(AppPaths::oldLogs() + QStringLiteral("/app.log"), "old line\n");
    Legacy::migrateLogs();
    EXPECT_FALSE(QFileInfo::exists(AppPaths::oldLogs()));
    QFile moved(AppPaths::appLog());
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    EXPECT_EQ(moved.readAll(), "old line\n");

    TestSupport::writeFile(AppPaths::oldLogs() + QStringLiteral("/app.log"), "older\n");
    Legacy::migrateLogs();
    EXPECT_FALSE(QFileInfo::exists(AppPaths::oldLogs()));
    QFile kept(AppPaths::appLog());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "old line\n");
}

TEST_F(LegacyTest, UndoesOurProxyAndStopsTheMatchingEngine) {
    QProcess engine;
    startEngine(engine);
    const QString exe =
        QFileInfo(QStringLiteral("/proc/%1/exe").arg(engine.processId())).symLinkTarget();
    TestSupport::writeFile(
        Legacy::sessionFile(),
        session(engine.processId(), exe, true, QStringLiteral("http://corp/proxy.pac"),
                QStringLiteral("http://127.0.0.1:9/quorvin.pac")));
    currentPAC(QStringLiteral("http://127.0.0.1:9/quorvin.pac"));
    TestSupport::writeFile(oldSupport(QStringLiteral("data.db")), "x");
    TestSupport::writeFile(oldSupport(QStringLiteral("cache/blob")), "x");

    Legacy::cleanUpSilently();

    EXPECT_EQ(
        calls(),
        (QStringList{QStringLiteral("networksetup -setautoproxyurl Wi-Fi http://corp/proxy.pac"),
                     QStringLiteral("networksetup -setautoproxystate Wi-Fi on")}));
    EXPECT_TRUE(engine.waitForFinished(5000));
    EXPECT_EQ(engine.exitStatus(), QProcess::CrashExit);  // ended by SIGTERM
    EXPECT_TRUE(logged(QStringLiteral("已撤销旧版遗留的系统代理改动")));
    EXPECT_FALSE(QFileInfo::exists(AppPaths::oldSupport()));
}

TEST_F(LegacyTest, AChangedSettingIsLeftButTheEngineStopsAndTheRecordGoes) {
    QProcess engine;
    startEngine(engine);
    const QString exe =
        QFileInfo(QStringLiteral("/proc/%1/exe").arg(engine.processId())).symLinkTarget();
    TestSupport::writeFile(Legacy::sessionFile(),
                           session(engine.processId(), exe, false, QString(),
                                   QStringLiteral("http://127.0.0.1:9/quorvin.pac")));
    currentPAC(QStringLiteral("http://somebody-else/p.pac"));
    Legacy::cleanUpSilently();
    EXPECT_TRUE(calls().isEmpty());
    EXPECT_TRUE(engine.waitForFinished(5000));
    EXPECT_TRUE(logged(QStringLiteral("已撤销旧版遗留的系统代理改动")));
    EXPECT_FALSE(QFileInfo::exists(Legacy::sessionFile()));
}

TEST_F(LegacyTest, AReusedProcessIdIsLeftAlone) {
    QProcess other;
    startEngine(other);
    TestSupport::writeFile(Legacy::sessionFile(),
                           session(other.processId(), QStringLiteral("/opt/pellimor/engine"), false,
                                   QString(), QStringLiteral("x")));
    Legacy::cleanUpSilently();
    EXPECT_FALSE(other.waitForFinished(300));
    EXPECT_EQ(other.state(), QProcess::Running);
    other.kill();
    other.waitForFinished();
}

TEST_F(LegacyTest, PriorAddressesOfTheOldEditionAreNotRestored) {
    TestSupport::writeFile(
        Legacy::sessionFile(),
        session(0, QString(), false, QStringLiteral("http://127.0.0.1:8/quorvin.pac"),
                QStringLiteral("http://127.0.0.1:9/quorvin.pac")));
    currentPAC(QStringLiteral("http://127.0.0.1:9/quorvin.pac"));
    Legacy::cleanUpSilently();
    EXPECT_EQ(calls(), QStringList{QStringLiteral("networksetup -setautoproxystate Wi-Fi off")});
}

TEST_F(LegacyTest, AnInterruptedUndoIsPickedUpInTheSameRun) {
    TestSupport::writeFile(oldSupport(QStringLiteral("session.undoing.1")),
                           session(0, QString(), false, QString(), QStringLiteral("p")));
    TestSupport::writeFile(oldSupport(QStringLiteral("session.undoing.2")), "{}");
    currentPAC(QStringLiteral("p"));
    Legacy::cleanUpSilently();
    EXPECT_EQ(calls(), QStringList{QStringLiteral("networksetup -setautoproxystate Wi-Fi off")});
    EXPECT_FALSE(QFileInfo::exists(AppPaths::oldSupport()));
}

TEST_F(LegacyTest, MalformedRecordsAreDeletedWithoutUndoing) {
    for (const QByteArray& bad :
         {QByteArray("not json"), QByteArray("{\"enginePID\": 1}"),
          QByteArray("{\"enginePID\":\"1\",\"enginePath\":\"\",\"serviceID\":\"\","
                     "\"serviceName\":\"\",\"priorPACEnabled\":true,"
                     "\"priorPACURL\":\"\",\"ourPACURL\":\"\"}"),
          QByteArray("{\"enginePID\":1.5,\"enginePath\":\"\",\"serviceID\":\"\","
                     "\"serviceName\":\"\",\"priorPACEnabled\":true,"
                     "\"priorPACURL\":\"\",\"ourPACURL\":\"\"}"),
          // Far outside every integer type: must be refused before any conversion.
          QByteArray("{\"enginePID\":1e300,\"enginePath\":\"\",\"serviceID\":\"\","
                     "\"serviceName\":\"\",\"priorPACEnabled\":true,"
                     "\"priorPACURL\":\"\",\"ourPACURL\":\"\"}")}) {
        EXPECT_FALSE(Legacy::Session::decode(bad).has_value()) << bad.toStdString();
        TestSupport::writeFile(Legacy::sessionFile(), bad);
        Legacy::cleanUpSilently();
        EXPECT_FALSE(QFileInfo::exists(Legacy::sessionFile()));
    }
    EXPECT_TRUE(calls().isEmpty());
    EXPECT_FALSE(logged(QStringLiteral("已撤销旧版遗留的系统代理改动")));
}

TEST_F(LegacyTest, FolderWithOnlyDSStoreGoesOneWithTheCertificateStays) {
    TestSupport::writeFile(oldSupport(QStringLiteral(".DS_Store")), "x");
    TestSupport::writeFile(oldSupport(QStringLiteral("engine-config.yaml")), "x");
    Legacy::cleanUpSilently();
    EXPECT_FALSE(QFileInfo::exists(AppPaths::oldSupport()));

    TestSupport::writeFile(Legacy::certificateFile(), "cert");
    TestSupport::writeFile(oldSupport(QStringLiteral(".DS_Store")), "x");
    Legacy::cleanUpSilently();
    EXPECT_TRUE(Legacy::hasOldCertificate());
}

TEST_F(LegacyTest, CertificateRemovalAndItsRefusal) {
    TestSupport::writeFile(Legacy::certificateFile(), "cert");
    TestSupport::writeFile(Legacy::keyFile(), "key");
    const QString pem = Legacy::certificateFile();

    setVerifyStatus(0);  // still trusted: the user cancelled the password request
    Legacy::removeOldCertificate();
    EXPECT_TRUE(Legacy::hasOldCertificate());
    EXPECT_TRUE(QFileInfo::exists(Legacy::keyFile()));
    EXPECT_TRUE(
        logged(QStringLiteral("旧证书仍被信任（可能取消了密码弹窗），保留证书文件以便下次再移除")));
    const QString keychain =
        AppPaths::home() + QStringLiteral("/Library/Keychains/login.keychain-db");
    EXPECT_EQ(calls(),
              (QStringList{QStringLiteral("security remove-trusted-cert ") + pem,
                           QStringLiteral("openssl x509 -in ") + pem +
                               QStringLiteral(" -noout -fingerprint -sha1"),
                           QStringLiteral("security delete-certificate -Z ABCDEF01 ") + keychain,
                           QStringLiteral("security verify-cert -c ") + pem +
                               QStringLiteral(" -p basic -l -L -q")}));

    setVerifyStatus(1);  // the next offer succeeds
    Legacy::removeOldCertificate();
    EXPECT_FALSE(Legacy::hasOldCertificate());
    EXPECT_FALSE(QFileInfo::exists(Legacy::keyFile()));
    EXPECT_TRUE(logged(QStringLiteral("已移除旧版证书")));
    EXPECT_FALSE(QFileInfo::exists(AppPaths::oldSupport()));
}

TEST_F(LegacyTest, AMissingSecurityToolNeverCountsAsRemoval) {
    TestSupport::writeFile(Legacy::certificateFile(), "cert");
    Legacy::Commands commands = Legacy::commands();
    commands.security = TestSupport::home() + QStringLiteral("/no/such/security");
    Legacy::setCommandsForTesting(commands);
    Legacy::removeOldCertificate();
    EXPECT_TRUE(Legacy::hasOldCertificate());
    EXPECT_FALSE(logged(QStringLiteral("已移除旧版证书")));
}
