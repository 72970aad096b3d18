// Entry point of every test program: a private home folder per process, then GoogleTest inside
// a QCoreApplication so network, process and coroutine code has its event loop.

#include "common/private_home.h"
#include "support/names.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#ifdef QUORVIN_TEST_GUI_APP
#include <QApplication>
#endif
#include <QDir>
#include <QTemporaryDir>

#include <csignal>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // The loopback test server writes to sockets that a cancelled download has just closed; that
    // must be an error return, not the end of the test program.
    std::signal(SIGPIPE, SIG_IGN);

    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/qvtest-XXXXXX"));
    if (!home.isValid()) return 99;
    TestSupport::usePrivateHome(home.path());

#ifdef QUORVIN_TEST_GUI_APP
    // Desktop tests draw offscreen unless a test sets up a display of its own.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    QCoreApplication::setApplicationName(Names::app());
    QCoreApplication::setOrganizationName(Names::app());
    return RUN_ALL_TESTS();
}
