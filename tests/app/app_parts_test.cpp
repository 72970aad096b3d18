// The tray app's parts in this process (offscreen), connected as main() connects them: quitting
// during a real download, the certificate prompt as the user sees it, the tray glyph.

#include "app/desktop_compositor.h"
#include "app/desktop_session.h"
#include "app/desktop_workspace.h"
#include "app/old_certificate_offer.h"
#include "app/panel_window.h"
#include "app/quit_sequence.h"
#include "app/start_up.h"
#include "app/system_clipboard.h"
#include "app/tray_icon.h"
#include "app/tray_menu.h"
#include "gui/logo.h"
#include "gui/panel_view.h"
#include "gui/paste_field.h"

#include "common/http_test_server.h"
#include "common/test_media.h"
#include "common/test_support.h"
#include "legacy/legacy.h"
#include "manager/download_manager.h"
#include "sites/process_group.h"
#include "support/app_paths.h"
#include "support/settings.h"
#include "support/termination_signals.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QQuickItem>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <unistd.h>
#include <xcb/xcb.h>
#include <csignal>

namespace {

using namespace std::chrono_literals;

QStringList desktopEntries() {
    return QDir(AppPaths::desktop())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

TEST(AppQuit, TerminationSignalDuringARealDownloadInterruptsItAndLeavesNothing) {
    Settings::setValue(QStringLiteral("welcomed2"), true);
    const QString clip = TestSupport::home() + QStringLiteral("/clip.mp4");
    ASSERT_TRUE(TestMedia::makeClip(clip, 4, QSize(320, 240), 25));
    // Served slowly enough that the download is still running when the signal comes.
    HttpTestServer server([&](const HttpTestServer::Request&) {
        HttpTestServer::Reply reply;
        reply.file = clip;
        reply.headers = {{"Content-Type", "video/mp4"}};
        reply.throttleBytes = 4096;
        reply.throttleMs = 100;
        return reply;
    });

    DownloadManager manager(
        {std::make_shared<SystemClipboard>(), std::make_shared<DesktopWorkspace>(), {}},
        YtDlp::Settings{});
    TrayIcon tray;
    QObject::connect(&manager, &DownloadManager::activeChanged, &tray, &TrayIcon::setBusy);
    QuitSequence quit(manager);
    StartUp startUp;
    std::unique_ptr<TerminationSignals> termination;
    QObject::connect(&startUp, &StartUp::trayReady, [&] {
        termination = std::make_unique<TerminationSignals>();
        QObject::connect(termination.get(), &TerminationSignals::received, &quit,
                         &QuitSequence::run);
    });
    startUp.run(0ms);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return termination != nullptr; }, 5s));
    QElapsedTimer sinceSignal;
    bool finished = false;
    bool toolsEndedFirst = false;
    qint64 finishedAfter = -1;
    QObject::connect(&quit, &QuitSequence::finished, [&] {
        finished = true;
        finishedAfter = sinceSignal.elapsed();
        toolsEndedFirst = !manager.hasActive() && ProcessGroup::liveLeaders().isEmpty();
    });
    const QUrl link = server.url(QStringLiteral("/clip.mp4"));
    manager.submit(link, Platform::detect(link));
    ASSERT_EQ(manager.items().size(), 1);
    const auto item = manager.items().first();
    ASSERT_TRUE(
        TestSupport::waitUntil([&] { return item->phase().kind() == Phase::downloading; }, 30s));
    EXPECT_TRUE(tray.isBusy());
    ASSERT_FALSE(TestSupport::liveProcessesMentioning(QStringLiteral("yt-dlp"))
                     .filter(TestSupport::home())
                     .isEmpty());

    sinceSignal.start();
    ::kill(::getpid(), SIGTERM);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return finished; }, 5s));
    // The end came when the interrupted download had ended, not when the grace ran out.
    EXPECT_TRUE(toolsEndedFirst);
    EXPECT_LT(finishedAfter, QuitSequence::kGrace.count() / 2) << finishedAfter;
    EXPECT_EQ(logLinesContaining(QStringLiteral("App 退出")), 1);
    // Quitting interrupts rather than cancels: the row can continue at the next start.
    EXPECT_EQ(item->phase(), Phase::makeFailed(Failure::interrupted()));
    EXPECT_TRUE(TestSupport::liveProcessesMentioning(TestSupport::home()).isEmpty())
        << TestSupport::liveProcessesMentioning(TestSupport::home()).join(u'\n').toStdString();
    EXPECT_EQ(desktopEntries(), QStringList());
}

// Answers the next message box once it is up: checks it, then ticks the box and presses a button.
struct PromptSeen {
    QString text, informative, checkBox;
    QStringList buttons;
    qint64 after = -1;
};

void answerNextPrompt(PromptSeen& seen, const QString& press, bool tick,
                      const QElapsedTimer& clock) {
    auto* poll = new QTimer();
    QObject::connect(poll, &QTimer::timeout, [&seen, press, tick, poll, &clock] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        poll->stop();
        poll->deleteLater();
        seen.after = clock.elapsed();
        // Kept for people to look at.
        QDir().mkpath(QStringLiteral(QUORVIN_BUILD_DIR "/screenshots"));
        box->grab().save(QStringLiteral(QUORVIN_BUILD_DIR "/screenshots/certificate-prompt-") +
                         (box->checkBox() ? QStringLiteral("launch") : QStringLiteral("menu")) +
                         QStringLiteral(".png"));
        seen.text = box->text();
        seen.informative = box->informativeText();
        for (QAbstractButton* button : box->buttons()) seen.buttons << button->text();
        if (box->checkBox()) {
            seen.checkBox = box->checkBox()->text();
            box->checkBox()->setChecked(tick);
        }
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == press) button->click();
        }
    });
    poll->start(20);
}

namespace {

// A login keychain of the previous edition's kind: it trusts the certificate until the removal
// (the user gives the password).
class TrustingStore final : public OsUtils::TrustStore {
public:
    bool canHoldTrust() const override { return true; }
    QString removalExplanation() const override { return QStringLiteral("系统会请你输入密码。"); }
    void removeTrust(const QString&) override { m_trusted = false; }
    std::optional<bool> stillTrusted(const QString&) override { return m_trusted; }

private:
    bool m_trusted = true;
};

class NoProxies final : public OsUtils::ProxyStore {
public:
    std::optional<QString> autoProxyURL(const QString&) const override { return std::nullopt; }
    void setAutoProxyURL(const QString&, const QString&) override {}
    void setAutoProxyEnabled(const QString&, bool) override {}
};

}  // namespace

TEST(CertificatePrompt, OfferedAtLaunchThenFromTheMenu) {
    Settings::setValue(QStringLiteral("welcomed2"), true);
    // The previous edition's certificate is still there, in a store that trusts it.
    TestSupport::writeFile(Legacy::certificateFile(), "-----BEGIN CERTIFICATE-----\n");
    NoProxies proxies;
    TrustingStore trust;
    const Legacy::CleanUp legacy(proxies, trust);

    StartUp startUp(legacy);
    QObject::connect(&startUp, &StartUp::started, &startUp, &StartUp::clearLeftovers);
    QObject::connect(&startUp, &StartUp::oldCertificatePromptDue,
                     [&] { OldCertificateOffer::run(false, legacy); });
    QElapsedTimer clock;
    clock.start();
    PromptSeen atLaunch;
    answerNextPrompt(atLaunch, QStringLiteral("以后再说"), true, clock);
    startUp.run(0ms);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return atLaunch.after >= 0; }, 5s));
    EXPECT_GE(atLaunch.after, 1150);
    EXPECT_EQ(atLaunch.text, u"移除旧版留下的证书");
    EXPECT_EQ(atLaunch.informative,
              u"新版改用「粘贴链接下载」，不再需要修改网络设置，也不再需要证书。\n\n"
              u"系统会请你输入密码。");
    EXPECT_EQ(atLaunch.buttons, QStringList({QStringLiteral("移除"), QStringLiteral("以后再说")}));
    EXPECT_EQ(atLaunch.checkBox, u"不再提醒（之后可在右键菜单里移除）");
    EXPECT_TRUE(Settings::boolValue(QStringLiteral("skipOldCertPrompt")));
    EXPECT_TRUE(legacy.hasOldCertificate());

    PromptSeen fromMenu;
    answerNextPrompt(fromMenu, QStringLiteral("移除"), false, clock);
    OldCertificateOffer::run(true, legacy);
    EXPECT_EQ(fromMenu.buttons, QStringList({QStringLiteral("移除"), QStringLiteral("取消")}));
    EXPECT_EQ(fromMenu.checkBox, QString());
    EXPECT_FALSE(legacy.hasOldCertificate());
    EXPECT_EQ(logLinesContaining(QStringLiteral("已移除旧版证书")), 1);
}

TEST(TrayGlyph, IdleIsTheSameOnAnyPaletteBusyIsRose) {
    Settings::setValue(QStringLiteral("welcomed2"), true);
    TrayIcon tray;
    // The middle of the triangle, drawn at 4 device pixels per logical pixel.
    const auto glyphColour = [&] {
        const QImage image = tray.icon()->icon().pixmap(QSize(18, 18), 4.0).toImage();
        return image.pixelColor(36, 4 + int(64 * 0.40)).rgb();
    };
    const auto usePalette = [](QColor text) {
        QPalette palette = QApplication::palette();
        palette.setColor(QPalette::WindowText, text);
        QApplication::setPalette(palette);
        QCoreApplication::processEvents();
    };
    // The app's palette says nothing about the panel the icon sits on: the idle glyph carries
    // its own contrast, whatever the palette.
    usePalette(QColor(250, 250, 250));
    const QRgb idle = glyphColour();
    EXPECT_EQ(idle, QColor(Qt::white).rgb());
    usePalette(QColor(20, 20, 20));
    EXPECT_EQ(glyphColour(), idle);
    tray.setBusy(true);
    EXPECT_TRUE(tray.isBusy());
    EXPECT_EQ(glyphColour(), Logo::rose().rgb());
    tray.setBusy(false);
    EXPECT_EQ(glyphColour(), idle);
}

TEST(PanelWindowSize, HeightFollowsThePanelRoundedUpAndIgnoresNonsense) {
    PanelWindow window;
    EXPECT_EQ(window.size(), QSize(440, 300));
    window.setPanelHeight(301.2);
    EXPECT_EQ(window.size(), QSize(440, 302));
    window.setPanelHeight(0);
    window.setPanelHeight(-5);
    EXPECT_EQ(window.size(), QSize(440, 302));
}

// Round corners and a shadow only where a compositor blends the window: on a desktop with
// none the panel stays opaque; once something owns _NET_WM_CM_S0 it may show through, and its
// window has an alpha channel and room for the shadow on each side.
TEST(PanelWindowSize, TranslucentOnlyWhereACompositorOwnsItsSelection) {
    DesktopSession desktop(DesktopSession::Tray::none);
    ASSERT_EQ(desktop.problem(), QString());
    const QByteArray display = desktop.environment().value(QStringLiteral("DISPLAY")).toUtf8();
    EXPECT_FALSE(DesktopCompositor::runsOnDisplay(display));

    // A stand-in compositor: a window of its own holding the selection, as one does.
    int screen = 0;
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(
        xcb_connect(display.constData(), &screen), &xcb_disconnect);
    ASSERT_FALSE(xcb_connection_has_error(connection.get()));
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection.get(),
                              xcb_intern_atom(connection.get(), 0, name.size(), name.constData()),
                              nullptr),
        &std::free);
    ASSERT_TRUE(atom);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
    for (int i = 0; i < screen; ++i) xcb_screen_next(&screens);
    const xcb_window_t owner = xcb_generate_id(connection.get());
    xcb_create_window(connection.get(), XCB_COPY_FROM_PARENT, owner, screens.data->root, 0, 0, 1, 1,
                      0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_set_selection_owner(connection.get(), owner, atom->atom, XCB_CURRENT_TIME);
    xcb_flush(connection.get());
    EXPECT_TRUE(TestSupport::waitUntil([&] { return DesktopCompositor::runsOnDisplay(display); },
                                       std::chrono::seconds(5)));

    PanelWindow opaque;
    EXPECT_FALSE(opaque.isTranslucent());
    EXPECT_EQ(opaque.format().alphaBufferSize(), -1);
    PanelWindow translucent(true);
    EXPECT_TRUE(translucent.isTranslucent());
    EXPECT_EQ(translucent.format().alphaBufferSize(), 8);
    EXPECT_EQ(translucent.color(), QColor(Qt::transparent));
    translucent.setPanelHeight(301.2 + 2 * PanelWindow::kShadow);
    EXPECT_EQ(translucent.size(),
              QSize(440 + 2 * PanelWindow::kShadow, 302 + 2 * PanelWindow::kShadow));
}

TEST(PanelWindowKeys, EscapeClosesTheOpenMenuFirstAndThenHidesThePanel) {
    QTemporaryDir noTools;
    YtDlp::Settings settings;
    settings.tools.searchDirs = {noTools.path()};
    DownloadManager manager(DesktopServices{}, settings);
    PasteField field(manager);
    PanelWindow window;
    loadPanel(window, manager, field, {});
    window.showAt(QRect(100, 0, 24, 24));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // The menu is made on its first opening.
    QObject* more = window.rootObject()->findChild<QObject*>(QStringLiteral("more"));
    ASSERT_NE(more, nullptr);
    QMetaObject::invokeMethod(more, "open");
    QObject* menu = window.rootObject()->findChild<QObject*>(QStringLiteral("moreMenu"));
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return menu->property("opened").toBool(); },
                                       std::chrono::seconds(5)));

    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(menu->property("visible").toBool());
    EXPECT_TRUE(window.isVisible());

    QTest::keyClick(&window, Qt::Key_Escape);  // nothing in the panel takes it now
    EXPECT_FALSE(window.isVisible());
}

}  // namespace

namespace {

TEST(TrayMenuEntries, InOrderAndWithoutAShortcutThatOnlyThePanelHonours) {
    TrayMenu menu;
    QStringList texts;
    for (const QAction* action : menu.actions()) {
        texts << action->text();
        // Ctrl+Q quits from inside the panel only: the menu shows no key it cannot keep.
        EXPECT_TRUE(action->shortcut().isEmpty()) << action->text().toStdString();
    }
    EXPECT_EQ(texts,
              (QStringList{QStringLiteral("打开下载窗口"), QStringLiteral("打开桌面"),
                           QStringLiteral("查看日志"), QString(),
                           QStringLiteral("Quorvin " QUORVIN_VERSION), QStringLiteral("退出")}));
}

}  // namespace
