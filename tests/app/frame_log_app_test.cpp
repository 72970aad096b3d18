// The panel's frame times for the soak benchmark: one line per drawn frame while asked for.

#include "app/desktop_session.h"

#include "support/settings.h"

#include <gtest/gtest.h>

#include <QFile>

namespace {

using namespace std::chrono_literals;

QList<QByteArray> frameLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

TEST(FrameLog, EveryFrameOfTheShownPanelAddsItsDrawingTime) {
    DesktopSession desktop(DesktopSession::Tray::xembed);
    ASSERT_EQ(desktop.problem(), QString());
    Settings::setFirstRunShown(true);
    const QString path = TestSupport::home() + QStringLiteral("/frames.log");
    desktop.startApp({QStringLiteral("QUORVIN_FRAME_LOG=") + path});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return desktop.ask("show\n") == "ok\n"; }, 30s));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !desktop.panels().isEmpty(); }, 10s));

    ASSERT_TRUE(TestSupport::waitUntil([&] { return !frameLines(path).isEmpty(); }, 10s));
    for (const QByteArray& line : frameLines(path)) {
        const QList<QByteArray> fields = line.split(' ');
        ASSERT_EQ(fields.size(), 2) << line.toStdString();
        bool wholeRead = false;
        bool cpuRead = false;
        const qlonglong whole = fields[0].toLongLong(&wholeRead);
        const qlonglong cpu = fields[1].toLongLong(&cpuRead);
        EXPECT_TRUE(wholeRead && cpuRead) << line.toStdString();
        // A drawn frame takes some time, and far less than the seconds a broken clock gives;
        // the CPU time spent on it fits inside it.
        EXPECT_GT(whole, 0);
        EXPECT_LT(whole, 10'000'000);
        EXPECT_GE(cpu, 0);
        EXPECT_LE(cpu, whole);
    }
}

}  // namespace
