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

// The system's proxy settings: what a service is set to, and every change asked for, one line
// per call.
class FakeProxyStore final : public OsUtils::ProxyStore {
public:
    std::optional<QString> autoProxyURL(const QString& serviceID) const override {
        return current.contains(serviceID) ? std::optional(current.value(serviceID)) : std::nullopt;
    }
    void setAutoProxyURL(const QString& serviceName, const QString& url) override {
        calls << QStringLiteral("url ") + serviceName + u' ' + url;
    }
    void setAutoProxyEnabled(const QString& serviceName, bool enabled) override {
        calls << QStringLiteral("state ") + serviceName + (enabled ? u" on"_qs : u" off"_qs);
    }
    QHash<QString, QString> current;
    QStringList calls;
};

// A store that trusts the certificate until its trust is removed, unless the user refuses the
// password request; `checkRuns` false stands for a check that could not even start.
class FakeTrustStore final : public OsUtils::TrustStore {
public:
    bool canHoldTrust() const override { return true; }
    QString removalExplanation() const override { return {}; }
    void removeTrust(const QString& certificateFile) override {
        calls << QStringLiteral("remove ") + certificateFile;
        if (!refuses) trusted = false;
    }
    std::optional<bool> stillTrusted(const QString& certificateFile) override {
        calls << QStringLiteral("check ") + certificateFile;
        if (!checkRuns) return std::nullopt;
        return trusted;
    }
    bool trusted = true;
    bool refuses = false;
    bool checkRuns = true;
    QStringList calls;
};

class LegacyTest : public ::testing::Test {
protected:
    QStringList calls() const { return m_proxies.calls + m_trust.calls; }

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

    void currentPAC(const QString& url) { m_proxies.current.insert(QStringLiteral("SVC-1"), url); }

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

    FakeProxyStore m_proxies;
    FakeTrustStore m_trust;
    Legacy::CleanUp m_legacy{m_proxies, m_trust};
};

}  // namespace

TEST_F(LegacyTest, NothingToDoWithoutOldFolders) {
    Legacy::migrateLogs();
    m_legacy.cleanUpSilently();
    m_legacy.removeOldCertificate();
    EXPECT_FALSE(m_legacy.hasOldCertificate());
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

    m_legacy.cleanUpSilently();

    EXPECT_EQ(calls(), (QStringList{QStringLiteral("url Wi-Fi http://corp/proxy.pac"),
                                    QStringLiteral("state Wi-Fi on")}));
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
    m_legacy.cleanUpSilently();
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
    m_legacy.cleanUpSilently();
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
    m_legacy.cleanUpSilently();
    EXPECT_EQ(calls(), QStringList{QStringLiteral("state Wi-Fi off")});
}

TEST_F(LegacyTest, AnInterruptedUndoIsPickedUpInTheSameRun) {
    TestSupport::writeFile(oldSupport(QStringLiteral("session.undoing.1")),
                           session(0, QString(), false, QString(), QStringLiteral("p")));
    TestSupport::writeFile(oldSupport(QStringLiteral("session.undoing.2")), "{}");
    currentPAC(QStringLiteral("p"));
    m_legacy.cleanUpSilently();
    EXPECT_EQ(calls(), QStringList{QStringLiteral("state Wi-Fi off")});
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
        m_legacy.cleanUpSilently();
        EXPECT_FALSE(QFileInfo::exists(Legacy::sessionFile()));
    }
    EXPECT_TRUE(calls().isEmpty());
    EXPECT_FALSE(logged(QStringLiteral("已撤销旧版遗留的系统代理改动")));
}

TEST_F(LegacyTest, FolderWithOnlyDSStoreGoesOneWithTheCertificateStays) {
    TestSupport::writeFile(oldSupport(QStringLiteral(".DS_Store")), "x");
    TestSupport::writeFile(oldSupport(QStringLiteral("engine-config.yaml")), "x");
    m_legacy.cleanUpSilently();
    EXPECT_FALSE(QFileInfo::exists(AppPaths::oldSupport()));

    TestSupport::writeFile(Legacy::certificateFile(), "cert");
    TestSupport::writeFile(oldSupport(QStringLiteral(".DS_Store")), "x");
    m_legacy.cleanUpSilently();
    EXPECT_TRUE(m_legacy.hasOldCertificate());
}

TEST_F(LegacyTest, CertificateRemovalAndItsRefusal) {
    TestSupport::writeFile(Legacy::certificateFile(), "cert");
    TestSupport::writeFile(Legacy::keyFile(), "key");
    const QString pem = Legacy::certificateFile();

    m_trust.refuses = true;  // still trusted: the user cancelled the password request
    m_legacy.removeOldCertificate();
    EXPECT_TRUE(m_legacy.hasOldCertificate());
    EXPECT_TRUE(QFileInfo::exists(Legacy::keyFile()));
    EXPECT_TRUE(
        logged(QStringLiteral("旧证书仍被信任（可能取消了密码弹窗），保留证书文件以便下次再移除")));
    EXPECT_FALSE(logged(QStringLiteral("已移除旧版证书")));
    EXPECT_EQ(calls(),
              (QStringList{QStringLiteral("remove ") + pem, QStringLiteral("check ") + pem}));

    m_trust.refuses = false;  // the next offer succeeds
    m_legacy.removeOldCertificate();
    EXPECT_FALSE(m_legacy.hasOldCertificate());
    EXPECT_FALSE(QFileInfo::exists(Legacy::keyFile()));
    EXPECT_TRUE(logged(QStringLiteral("已移除旧版证书")));
    EXPECT_FALSE(QFileInfo::exists(AppPaths::oldSupport()));
}

TEST_F(LegacyTest, ACheckThatCannotRunNeverCountsAsRemoval) {
    TestSupport::writeFile(Legacy::certificateFile(), "cert");
    m_trust.checkRuns = false;
    m_legacy.removeOldCertificate();
    EXPECT_TRUE(m_legacy.hasOldCertificate());
    EXPECT_FALSE(logged(QStringLiteral("已移除旧版证书")));
}

TEST(LegacyOnLinux, TheCertificateIsALeftoverFileNotAnOffer) {
    // Nothing here ever trusted it: it goes with the other old files, and nobody is asked.
    TestSupport::writeFile(Legacy::certificateFile(), "cert");
    TestSupport::writeFile(Legacy::keyFile(), "key");
    EXPECT_FALSE(Legacy::hasOldCertificate());
    Legacy::cleanUpSilently();
    EXPECT_FALSE(QFileInfo::exists(AppPaths::oldSupport()));
}
