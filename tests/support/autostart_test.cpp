#include "support/autostart.h"
#include "common/test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <stdexcept>

namespace {

QString readEntry() {
    QFile file(Autostart::entryPath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// desktop-file-validate's verdict on the written entry: empty when it accepts it. Hints are
// advice, not faults, so they are left out.
QString validatorComplaints() {
    const QString validator =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty()) return QStringLiteral("desktop-file-validate is not installed");
    const auto result = TestSupport::run(validator, {Autostart::entryPath()});
    QStringList complaints;
    for (const QString& line : QString::fromUtf8(result.out + result.err).split(u'\n')) {
        if (!line.isEmpty() && !line.contains(QStringLiteral(": hint: "))) complaints << line;
    }
    if (result.exitCode != 0 && complaints.isEmpty()) complaints << QStringLiteral("exit status");
    return complaints.join(u'\n');
}

QString execLine(const QString& entry) {
    for (const QString& line : entry.split(u'\n')) {
        if (line.startsWith(QStringLiteral("Exec="))) return line;
    }
    return {};
}

}  // namespace

TEST(Autostart, WritesAValidEntryAndRemovesIt) {
    const QString expected = TestSupport::home() +
                             QStringLiteral("/.config/autostart/io.github.quorvin.Quorvin.desktop");
    EXPECT_EQ(Autostart::entryPath(), expected);
    EXPECT_FALSE(Autostart::isEnabled());

    Autostart::setEnabled(true, QStringLiteral("quorvin"));
    ASSERT_TRUE(QFileInfo::exists(expected));
    EXPECT_TRUE(Autostart::isEnabled());
    const QString entry = readEntry();
    EXPECT_EQ(execLine(entry), QStringLiteral("Exec=quorvin"));
    EXPECT_TRUE(entry.contains(QStringLiteral("\nIcon=io.github.quorvin.Quorvin\n")));
    EXPECT_TRUE(entry.contains(QStringLiteral("\nX-GNOME-Autostart-enabled=true\n")));
    EXPECT_EQ(validatorComplaints(), QString());

    // Switching on twice keeps one entry; switching off removes it, twice is harmless.
    Autostart::setEnabled(true, QStringLiteral("quorvin"));
    EXPECT_EQ(readEntry(), entry);
    Autostart::setEnabled(false);
    EXPECT_FALSE(QFileInfo::exists(expected));
    EXPECT_FALSE(Autostart::isEnabled());
    EXPECT_NO_THROW(Autostart::setEnabled(false));
}

TEST(Autostart, FollowsXdgConfigHomeAndIgnoresARelativeOne) {
    const QString config = TestSupport::home() + QStringLiteral("/elsewhere");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    Autostart::setEnabled(true, QStringLiteral("quorvin"));
    EXPECT_TRUE(
        QFileInfo::exists(config + QStringLiteral("/autostart/io.github.quorvin.Quorvin.desktop")));

    qputenv("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(Autostart::entryPath(),
              TestSupport::home() +
                  QStringLiteral("/.config/autostart/io.github.quorvin.Quorvin.desktop"));
}

TEST(Autostart, QuotesAnyProgramPathSoTheEntryStaysValid) {
    // A build folder may sit anywhere; the desktop entry rules give spaces, quotes, dollars,
    // backslashes and percent signs meanings of their own.
    const QString program = QStringLiteral("/home/李 雷/my \"build\"/$HOME\\50%/quorvin");
    Autostart::setEnabled(true, program);
    const QString entry = readEntry();
    EXPECT_EQ(execLine(entry),
              QStringLiteral(R"(Exec="/home/李 雷/my \\"build\\"/\\$HOME\\\\50%%/quorvin")"));
    EXPECT_TRUE(
        entry.contains(QStringLiteral(R"(TryExec=/home/李 雷/my "build"/$HOME\\50%/quorvin)")));
    EXPECT_EQ(validatorComplaints(), QString());
}

TEST(Autostart, AnEntrySwitchedOffByTheDesktopCountsAsOffUntilSwitchedOn) {
    for (const char* switchedOff : {"X-GNOME-Autostart-enabled=false", "Hidden=true"}) {
        TestSupport::writeFile(Autostart::entryPath(),
                               QByteArray("[Desktop Entry]\nType=Application\n"
                                          "Name=Quorvin\nExec=quorvin\n") +
                                   switchedOff + "\n");
        EXPECT_FALSE(Autostart::isEnabled()) << switchedOff;
        Autostart::setEnabled(true, QStringLiteral("quorvin"));
        EXPECT_TRUE(Autostart::isEnabled()) << switchedOff;
        EXPECT_FALSE(readEntry().contains(QString::fromLatin1(switchedOff)));
    }
}

TEST(Autostart, AnUnwritableFolderIsReportedAndLeavesNothingBehind) {
    // A file where the autostart folder belongs: even root cannot write through it.
    TestSupport::writeFile(TestSupport::home() + QStringLiteral("/.config/autostart"),
                           "not a folder");
    try {
        Autostart::setEnabled(true, QStringLiteral("quorvin"));
        FAIL() << "no error for an unwritable autostart folder";
    } catch (const std::runtime_error& error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).contains(QStringLiteral("无法写入登录启动项")))
            << error.what();
    }
    EXPECT_FALSE(Autostart::isEnabled());
    EXPECT_EQ(QDir(TestSupport::home() + QStringLiteral("/.config"))
                  .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
              QStringList{QStringLiteral("autostart")});
}

TEST(Autostart, StartsTheInstalledNameOnlyWhenPathFindsThisProgram) {
    const QString program =
        TestSupport::writeFile(TestSupport::home() + QStringLiteral("/opt/quorvin"), "#!/bin/sh\n");
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString bin = TestSupport::home() + QStringLiteral("/bin");
    QDir().mkpath(bin);
    qputenv("PATH", QFile::encodeName(bin));
    EXPECT_EQ(Autostart::execProgram(program), program);  // PATH finds no quorvin

    ASSERT_TRUE(QFile::link(program, bin + QStringLiteral("/quorvin")));
    EXPECT_EQ(Autostart::execProgram(program), QStringLiteral("quorvin"));

    // Another copy, e.g. a build folder, starts itself by its full path.
    const QString other = TestSupport::writeFile(
        TestSupport::home() + QStringLiteral("/build/quorvin"), "#!/bin/sh\n");
    QFile::setPermissions(other, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(Autostart::execProgram(other), other);
}
