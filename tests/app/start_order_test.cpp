// What the start leaves until the panel's first frame is out: the previous edition's and a
// killed run's leftovers, cleared off the main thread, and the tools' versions, asked once.

#include "app/desktop_session.h"
#include "app/start_up.h"

#include "common/test_support.h"
#include "legacy/legacy.h"
#include "support/app_paths.h"
#include "support/settings.h"
#include "support/temp_files.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QThread>

#include <atomic>

namespace {

using namespace std::chrono_literals;

// This system's stores, recording the thread that asks them first: the clean-up's.
class RecordingTrust final : public OsUtils::TrustStore {
public:
    bool canHoldTrust() const override {
        QThread* none = nullptr;
        askedOn.compare_exchange_strong(none, QThread::currentThread());
        return false;  // the certificate is a plain leftover here
    }
    QString removalExplanation() const override { return {}; }
    void removeTrust(const QString&) override {}
    std::optional<bool> stillTrusted(const QString&) override { return std::nullopt; }
    mutable std::atomic<QThread*> askedOn{nullptr};
};

class NoProxies final : public OsUtils::ProxyStore {
public:
    std::optional<QString> autoProxyURL(const QString&) const override { return std::nullopt; }
    void setAutoProxyURL(const QString&, const QString&) override {}
    void setAutoProxyEnabled(const QString&, bool) override {}
};

TEST(StartOrder, LeftoversWaitUntilAskedForAndAreClearedOffTheMainThread) {
    Settings::setValue(QStringLiteral("welcomed2"), true);
    AppPaths::ensureDirectories();
    // A killed run's transfer file, an hour old, and the previous edition's working data.
    const QString transfer = AppPaths::temporary() + u'/' + TempFiles::transferFileName();
    TestSupport::writeFile(transfer, "partial");
    QFile old(transfer);
    ASSERT_TRUE(old.open(QIODevice::ReadWrite));
    ASSERT_TRUE(old.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                QFileDevice::FileModificationTime));
    old.close();
    const QString oldData = AppPaths::oldSupport() + QStringLiteral("/data.db");
    TestSupport::writeFile(oldData, "x");

    NoProxies proxies;
    RecordingTrust trust;
    StartUp startUp(Legacy::CleanUp(proxies, trust));
    QSignalSpy started(&startUp, &StartUp::started);
    QSignalSpy cleared(&startUp, &StartUp::leftoversCleared);
    startUp.run(0ms);
    ASSERT_TRUE(started.count() == 1 || started.wait(5000));
    // The start did not wait for them.
    EXPECT_TRUE(QFileInfo::exists(transfer));
    EXPECT_TRUE(QFileInfo::exists(oldData));
    EXPECT_EQ(trust.askedOn.load(), nullptr);

    startUp.clearLeftovers();
    startUp.clearLeftovers();  // once per run
    ASSERT_TRUE(cleared.wait(5000));
    EXPECT_FALSE(QFileInfo::exists(transfer));
    EXPECT_FALSE(QFileInfo::exists(oldData));
    ASSERT_NE(trust.askedOn.load(), nullptr);
    EXPECT_NE(trust.askedOn.load(), QThread::currentThread());
    EXPECT_FALSE(cleared.wait(300));
    EXPECT_EQ(cleared.count(), 1);
}

TEST(StartOrder, TheToolsAreAskedOnceAfterThePanelsFirstFrame) {
    DesktopSession desktop(DesktopSession::Tray::xembed);
    ASSERT_EQ(desktop.problem(), QString());
    Settings::setValue(QStringLiteral("welcomed2"), true);
    // A yt-dlp found before the system's, noting when it is asked. It answers after a second: a
    // second request made with the first (the panel's showing and the start both ask) would
    // have started a second run by the time the first one ends.
    const QString runs = TestSupport::home() + QStringLiteral("/ytdlp-runs");
    const QString tool = AppPaths::home() + QStringLiteral("/.local/bin/yt-dlp");
    const QByteArray log = "'" + runs.toUtf8() + "'";
    TestSupport::writeFile(tool, "#!/bin/sh\necho start $(date +%s%3N) >> " + log +
                                     "\nsleep 1\necho end >> " + log + "\necho 2025.04.30\n");
    ASSERT_TRUE(
        QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const auto lines = [&] {
        QFile file(runs);
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().split('\n')
                                              : QList<QByteArray>();
    };

    // The probe shows the panel as the start ends, as the first run does, and prints the moment
    // of its first frame.
    QProcess* app = desktop.startApp({QStringLiteral("QUORVIN_STARTUP_PROBE=1")});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return app->canReadLine(); }, 20s));
    const QList<QByteArray> frame = app->readLine().trimmed().split(' ');
    ASSERT_EQ(frame.size(), 2);
    ASSERT_EQ(frame[0], "first-frame");
    ASSERT_TRUE(TestSupport::waitUntil([&] { return lines().contains("end"); }, 20s));
    const QList<QByteArray> seen = lines();
    ASSERT_EQ(seen.size(), 2) << seen.join(' ').toStdString();
    ASSERT_TRUE(seen[0].startsWith("start "));
    EXPECT_GE(seen[0].mid(6).toLongLong(), frame[1].toLongLong());
}

}  // namespace
