// The panel's states, checked on the real QML through geometry, texts, visibility and a few
// pixels.

#include "common/test_support.h"
#include "panel_harness.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

namespace {

const QString kBilibili = QStringLiteral("https://www.bilibili.com/video/BV1xx411c7mD");
const QString kShareLink = QStringLiteral("https://weixin.qq.com/sph/AbCdEf");

int channelDistance(QColor a, QColor b) {
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                     std::abs(a.blue() - b.blue())});
}

QColor over(QColor top, double alpha, QColor bottom) {
    return QColor::fromRgbF(top.redF() * alpha + bottom.redF() * (1 - alpha),
                            top.greenF() * alpha + bottom.greenF() * (1 - alpha),
                            top.blueF() * alpha + bottom.blueF() * (1 - alpha));
}

}  // namespace

TEST(PanelView, EmptyPanelOffersPasteADisabledDownloadAndTheSupportedSites) {
    PanelHarness panel;
    EXPECT_EQ(panel.root()->width(), 440);
    EXPECT_TRUE(panel.shown("pasteButton"));
    EXPECT_FALSE(panel.shown("clearButton"));
    EXPECT_EQ(panel.value("primaryLabel", "text").toString(), "下载");
    EXPECT_FALSE(panel.item("downloadButton")->isEnabled());
    EXPECT_DOUBLE_EQ(panel.item("downloadButton")->opacity(), 0.45);
    EXPECT_TRUE(panel.shown("sitesNotice"));
    EXPECT_FALSE(panel.shown("listSection"));
    EXPECT_EQ(panel.value("linkField", "placeholderText").toString(), "粘贴视频链接");

    // 14 sites in five columns, the first row starting with B站 and ending with 知乎.
    const QList<QQuickItem*> names = panel.all("siteName", panel.item("sitesGrid"));
    ASSERT_EQ(names.size(), 14);
    EXPECT_EQ(names.first()->property("text").toString(), "B站");
    EXPECT_EQ(names.last()->property("text").toString(), "Dailymotion");

    // The height the shell hears is the panel's own.
    ASSERT_FALSE(panel.heights.isEmpty());
    EXPECT_DOUBLE_EQ(panel.heights.last(), panel.root()->height());

    // Disabled: the button keeps its colours and is drawn at 45 %.
    const QImage image = panel.grab();
    const QRectF button = panel.geometry("downloadButton");
    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    const QColor accent = QGuiApplication::palette().color(QPalette::Highlight);
    const QColor sample = image.pixelColor(int(button.left() + 4), int(button.center().y()));
    EXPECT_LE(channelDistance(sample, over(accent, 0.45, window)), 3)
        << sample.name().toStdString() << " vs " << over(accent, 0.45, window).name().toStdString();
}

TEST(PanelView, BadgesRunTheirGradientFromTopLeadingToBottomTrailing) {
    PanelHarness panel;
    const QImage image = panel.grab();
    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    // The first cell is bilibili, one colour: #FB7299 running to 82 % of itself.
    const QList<QQuickItem*> badges = panel.all("badgeFill", panel.item("sitesGrid"));
    ASSERT_EQ(badges.size(), 14);
    const QRectF badge = badges.first()->mapRectToItem(panel.root(), QRectF(0, 0, 26, 26));
    EXPECT_DOUBLE_EQ(badge.width(), 26);
    const QColor start = image.pixelColor(int(badge.left() + 4), int(badge.top() + 4));
    const QColor end = image.pixelColor(int(badge.right() - 5), int(badge.bottom() - 5));
    const QColor pink(0xFB, 0x72, 0x99);
    // Sampled 4 px in from each corner: 15 % of the way along the diagonal.
    EXPECT_LE(channelDistance(start, over(pink, 1 - 0.18 * 0.15, window)), 6);
    EXPECT_LE(channelDistance(end, over(pink, 0.82 + 0.18 * 0.15, window)), 6);
    EXPECT_GT(channelDistance(start, end), 10);
}

TEST(PanelView, TextWithoutALinkShowsTheNoticeButWhiteSpaceOnlySwitchesTheTrailingControl) {
    PanelHarness panel;
    panel.field().setInput(QStringLiteral("随便一段话"));
    panel.settle();
    EXPECT_TRUE(panel.shown("noLinkNotice"));
    EXPECT_FALSE(panel.shown("sitesNotice"));
    EXPECT_TRUE(panel.shown("clearButton"));
    EXPECT_FALSE(panel.item("downloadButton")->isEnabled());

    panel.field().setInput(QStringLiteral("  \n "));
    panel.settle();
    EXPECT_FALSE(panel.shown("noLinkNotice"));
    EXPECT_TRUE(panel.shown("sitesNotice"));
    EXPECT_TRUE(panel.shown("clearButton"));
    EXPECT_FALSE(panel.shown("pasteButton"));
}

TEST(PanelView, ARecognisedLinkShowsItsChipAndNarrowsTheLeadingPadding) {
    PanelHarness panel;
    EXPECT_DOUBLE_EQ(panel.item("fieldRow")->x(), 10);
    EXPECT_NE(panel.find("linkIcon"), nullptr);
    panel.field().setInput(QStringLiteral("看这个 ") + kBilibili + QStringLiteral(" 不错"));
    panel.settle();
    EXPECT_DOUBLE_EQ(panel.item("fieldRow")->x(), 6);
    EXPECT_EQ(panel.find("linkIcon"), nullptr);
    EXPECT_EQ(panel.value("chipName", "text").toString(), "B站");
    EXPECT_DOUBLE_EQ(panel.item("platformChip")->height(), 22);
    EXPECT_TRUE(panel.item("downloadButton")->isEnabled());
    EXPECT_DOUBLE_EQ(panel.item("downloadButton")->opacity(), 1);
    EXPECT_DOUBLE_EQ(panel.geometry("fieldGroup").height(), 36);
}

TEST(PanelView, AChannelsLinkWhileLoggedOutAsksForTheLoginFirst) {
    PanelHarness panel;
    panel.add(kBilibili, Phase::makeDone(QStringLiteral("/tmp/x.mp4"), 1));
    panel.manager().refreshStatus();  // no login in the jar
    panel.field().setInput(QStringLiteral("这是 ") + kShareLink);
    panel.settle();
    EXPECT_EQ(panel.value("primaryLabel", "text").toString(), "登录并下载");
    EXPECT_TRUE(panel.shown("loginNotice"));
    EXPECT_FALSE(panel.shown("noLinkNotice"));
    EXPECT_FALSE(panel.shown("sitesNotice"));
    EXPECT_EQ(panel.value("chipName", "text").toString(), "视频号");
}

TEST(PanelView, ReturnInTheFieldSubmitsAndTheListCountsEveryItem) {
    PanelHarness panel;
    panel.field().prepareForShow();  // focus on the next turn
    panel.settle();
    ASSERT_TRUE(panel.item("linkField")->hasActiveFocus());
    for (const QChar c : kBilibili) QTest::keyClick(&panel.view(), c.toLatin1());
    EXPECT_EQ(panel.field().input(), kBilibili);
    QTest::keyClick(&panel.view(), Qt::Key_Return);
    ASSERT_EQ(panel.manager().items().size(), 1);
    EXPECT_EQ(panel.field().input(), QString());
    panel.settle();
    EXPECT_TRUE(panel.shown("listSection"));
    EXPECT_FALSE(panel.shown("sitesNotice"));
    EXPECT_EQ(panel.value("itemCount", "text").toString(), "下载 · 1");
}

TEST(PanelView, ClearFinishedOnlyWithAFinishedItem) {
    PanelHarness panel;
    const auto running = panel.add(kBilibili, Phase::makeDownloading(0.5, QStringLiteral("50%")));
    panel.settle();
    EXPECT_EQ(panel.value("itemCount", "text").toString(), "下载 · 1");
    EXPECT_FALSE(panel.shown("clearFinished"));
    panel.add(QStringLiteral("https://vimeo.com/1"), Phase::makeFailed(Failure::cancelled()));
    panel.settle();
    EXPECT_EQ(panel.value("itemCount", "text").toString(), "下载 · 2");
    ASSERT_TRUE(panel.shown("clearFinished"));
    const QPointF at = panel.geometry("clearFinished").center();
    QTest::mouseClick(&panel.view(), Qt::LeftButton, {}, at.toPoint());
    ASSERT_EQ(panel.manager().items().size(), 1);
    EXPECT_EQ(panel.manager().items().first(), running);
    panel.settle();
    EXPECT_FALSE(panel.shown("clearFinished"));
}

TEST(PanelView, TheListTakesItsContentHeightUpTo520AndThenScrolls) {
    PanelHarness panel;
    panel.add(kBilibili, Phase::makeFailed(Failure::cancelled()));
    panel.settle();
    QQuickItem* list = panel.item("itemList");
    const double content = list->property("contentHeight").toDouble();
    EXPECT_DOUBLE_EQ(list->height(), std::clamp(content, 60.0, 520.0));
    EXPECT_EQ(panel.value("scrollBar", "policy").toInt(), 1);  // always off: nothing to scroll
    const double oneRowPanel = panel.root()->height();

    for (int i = 0; i < 12; ++i)
        panel.add(kBilibili + QString::number(i), Phase::makeDone(QStringLiteral("/f"), 0));
    panel.settle();
    EXPECT_DOUBLE_EQ(list->height(), 520);
    EXPECT_GT(list->property("contentHeight").toDouble(), 520);
    EXPECT_EQ(panel.value("scrollBar", "policy").toInt(), 2);  // always on
    EXPECT_DOUBLE_EQ(panel.root()->height(), oneRowPanel + 520 - content);
    EXPECT_DOUBLE_EQ(panel.heights.last(), panel.root()->height());
}

TEST(PanelView, TheYuanbaoSectionShowsTheLoginStateAndItsDate) {
    PanelHarness panel;
    panel.manager().refreshStatus();
    QTest::mouseClick(&panel.view(), Qt::LeftButton, {},
                      panel.geometry("moreButton").center().toPoint());
    panel.settle();
    ASSERT_TRUE(panel.value("moreMenu", "visible").toBool());
    EXPECT_FALSE(panel.value("yuanbaoState", "visible").toBool());
    EXPECT_TRUE(panel.value("loginYuanbao", "visible").toBool());

    logInToYuanbao(false);
    panel.manager().refreshStatus();
    EXPECT_TRUE(panel.value("yuanbaoState", "visible").toBool());
    EXPECT_EQ(panel.value("yuanbaoState", "text").toString(), "已登录");
    EXPECT_FALSE(panel.value("yuanbaoState", "enabled").toBool());
    EXPECT_TRUE(panel.value("logoutYuanbao", "visible").toBool());
    EXPECT_FALSE(panel.value("loginYuanbao", "visible").toBool());

    logInToYuanbao(true);
    panel.manager().refreshStatus();
    EXPECT_EQ(panel.value("yuanbaoState", "text").toString(), "已登录 · 至 2031-05-17");

    // The menu's entries act on the manager and the shell.
    QMetaObject::invokeMethod(panel.find("quit"), "triggered");
    EXPECT_EQ(panel.quits, 1);
    EXPECT_FALSE(panel.value("moreMenu", "visible").toBool());  // an entry closes the menu
    QMetaObject::invokeMethod(panel.find("logoutYuanbao"), "triggered");
    EXPECT_EQ(panel.manager().yuanbao().loggedIn(), std::optional(false));
    QTest::mouseClick(&panel.view(), Qt::LeftButton, {},
                      panel.geometry("moreButton").center().toPoint());
    panel.settle();
    EXPECT_TRUE(panel.value("loginYuanbao", "visible").toBool());
    EXPECT_FALSE(panel.value("logoutYuanbao", "visible").toBool());
    QMetaObject::invokeMethod(panel.find("loginYuanbao"), "triggered");
    EXPECT_EQ(panel.loginWindows.size(), 1);
    EXPECT_FALSE(panel.value("removeOldCert", "visible").toBool());  // no callback given
}

// The ⋯ › browser submenu always ticks the browser in use (or "不使用"), whoever changed it.
TEST(PanelView, TheBrowserMenuTicksTheBrowserInUse) {
    const QString firefoxProfile = QDir::homePath() + QStringLiteral("/.mozilla/firefox");
    QDir().mkpath(firefoxProfile);
    PanelHarness panel;
    const auto openMenu = [&] {
        QTest::mouseClick(&panel.view(), Qt::LeftButton, {},
                          panel.geometry("moreButton").center().toPoint());
        panel.settle();
    };
    const auto click = [&](QObject* entry) {  // what a click does: the tick toggles, then acts
        QMetaObject::invokeMethod(entry, "toggle");
        QMetaObject::invokeMethod(entry, "triggered");
    };
    const auto ticked = [&](const char* name) { return panel.value(name, "checked").toBool(); };
    openMenu();
    QObject* firefox = panel.find(QStringLiteral("browser_firefox"));
    ASSERT_NE(firefox, nullptr);
    EXPECT_EQ(panel.find(QStringLiteral("browser_chrome")), nullptr);  // no Chrome profile
    EXPECT_TRUE(ticked("noBrowser"));
    EXPECT_FALSE(ticked("browser_firefox"));
    click(firefox);
    EXPECT_EQ(panel.manager().cookieBrowser(), Browser(Browser::firefox));
    EXPECT_TRUE(ticked("browser_firefox"));
    EXPECT_FALSE(ticked("noBrowser"));
    // The choice cleared elsewhere (a cookie store that could not be read): the ticks follow.
    panel.manager().setCookieBrowser(std::nullopt);
    EXPECT_TRUE(ticked("noBrowser"));
    EXPECT_FALSE(ticked("browser_firefox"));
    click(panel.find(QStringLiteral("noBrowser")));  // choosing "不使用" again keeps it ticked
    EXPECT_TRUE(ticked("noBrowser"));
    // A browser in use whose profile is gone is still listed, ticked, so it can be seen.
    panel.manager().setCookieBrowser(Browser(Browser::chrome));
    openMenu();
    EXPECT_TRUE(ticked("browser_chrome"));
    EXPECT_FALSE(ticked("noBrowser"));
    panel.manager().setCookieBrowser(std::nullopt);
    QDir(firefoxProfile).removeRecursively();
}

TEST(PanelView, TheToolsEntryShowsItsStatus) {
    PanelHarness panel;
    panel.manager().refreshStatus();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !panel.manager().tools().text().isEmpty(); }));
    // The menu is made on its first opening.
    QTest::mouseClick(&panel.view(), Qt::LeftButton, {},
                      panel.geometry("moreButton").center().toPoint());
    panel.settle();
    EXPECT_EQ(
        panel.value("updateTools", "text").toString(),
        QStringLiteral("更新下载组件（") + panel.manager().tools().text() + QStringLiteral("）"));
    EXPECT_TRUE(panel.value("updateTools", "enabled").toBool());
    EXPECT_EQ(panel.value("noBrowser", "checked").toBool(), true);
}

TEST(PanelView, NothingIsDrawnWhileNothingChanges) {
    PanelHarness panel;
    // Rows inserted above one another: a list that tracks a current row would glide after it.
    for (int i = 0; i < 40; ++i) {
        panel.add(kBilibili + QString::number(i),
                  Phase::makeDone(QStringLiteral("/d/x.mp4"), 1 << 20));
    }
    panel.settle();
    ASSERT_TRUE(panel.drawingStops());
    int frames = 0;
    QObject::connect(&panel.view(), &QQuickWindow::afterRendering, [&] { ++frames; });
    EXPECT_FALSE(QSignalSpy(&panel.view(), &QQuickWindow::afterRendering).wait(500));
    EXPECT_EQ(frames, 0);

    // A working row animates its indeterminate bar; when it ends, drawing stops again.
    const auto item = panel.manager().items().first();
    item->setPhase(Phase::makeWorking(QStringLiteral("正在解析链接…")));
    EXPECT_TRUE(panel.waitFor([&] { return frames > 1; }));
    item->setPhase(Phase::makeDone(QStringLiteral("/d/x.mp4"), 1));
    ASSERT_TRUE(panel.drawingStops());
    frames = 0;
    EXPECT_FALSE(QSignalSpy(&panel.view(), &QQuickWindow::afterRendering).wait(500));
    EXPECT_EQ(frames, 0);
}

TEST(PanelView, TheFieldHasTheUsualEditMenuAndKeysAndLeavesEscapeToTheWindow) {
    PanelHarness panel;
    panel.field().prepareForShow();
    panel.settle();
    ASSERT_TRUE(panel.item("linkField")->hasActiveFocus());

    QGuiApplication::clipboard()->setText(kBilibili);
    QTest::keyClick(&panel.view(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(panel.field().input(), kBilibili);
    EXPECT_TRUE(panel.item("downloadButton")->isEnabled());

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&panel.view(), &escape);
    EXPECT_FALSE(escape.isAccepted());

    QTest::mouseClick(&panel.view(), Qt::RightButton, {},
                      panel.geometry("linkField").center().toPoint());
    panel.settle();
    QObject* menu = panel.find("editMenu");
    ASSERT_TRUE(menu->property("visible").toBool());
    QStringList entries;
    for (int i = 0; i < menu->property("count").toInt(); ++i) {
        QQuickItem* entry = nullptr;
        QMetaObject::invokeMethod(menu, "itemAt", Q_RETURN_ARG(QQuickItem*, entry), Q_ARG(int, i));
        if (entry && entry->property("text").isValid())
            entries.append(entry->property("text").toString());
    }
    EXPECT_EQ(entries, (QStringList{"撤销", "剪切", "拷贝", "粘贴", "全选"}));
}

// The panel's QML is compiled into the program: loading every part of it (a failed row with its
// box and remedies, the menus) compiles nothing, so nothing is written to a disk cache.
TEST(PanelView, EveryPartLoadsPrecompiledAndNothingIsCachedOnDisk) {
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
                          QStringLiteral("/qmlcache");
    PanelHarness panel;
    Failure failure{QStringLiteral("这个视频需要登录才能下载"),
                    QStringLiteral("建议"),
                    {Failure::Action::retry, Failure::Action::openLogs}};
    panel.add(kBilibili, Phase::makeFailed(failure));
    panel.add(kBilibili + "2", Phase::makeDone(QStringLiteral("/d/x.mp4"), 1));
    panel.add(kBilibili + "3", Phase::makeWorking(QStringLiteral("正在解析链接…")));
    panel.field().setInput(kBilibili);
    panel.settle();
    QTest::mouseClick(&panel.view(), Qt::LeftButton, {},
                      panel.geometry("moreButton").center().toPoint());
    panel.settle();
    const QList<QQuickItem*> boxes = panel.all("failureBox");
    ASSERT_TRUE(
        std::any_of(boxes.begin(), boxes.end(), [](auto* box) { return box->isVisible(); }));
    ASSERT_TRUE(panel.shown("platformChip"));
    ASSERT_TRUE(panel.value("moreMenu", "visible").toBool());
    EXPECT_FALSE(QFileInfo::exists(cache)) << cache.toStdString();
}

TEST(PanelView, AToolsUpdateSaysHowItWentInThePanelUntilDismissed) {
    PanelHarness panel;
    EXPECT_FALSE(panel.shown("updateNotice"));
    panel.manager().tools().update();  // no yt-dlp here: the outcome says so
    ASSERT_TRUE(panel.waitFor([&] { return panel.shown("updateNotice"); }));
    EXPECT_EQ(panel.value("updateResultText", "text").toString(), u"缺少 yt-dlp，请先安装");
    // Nothing is left to the user's terminal, so there is nothing to copy.
    EXPECT_FALSE(panel.shown("copyUpdateCommand"));
    QTest::mouseClick(&panel.view(), Qt::LeftButton, {},
                      panel.geometry("dismissUpdateResult").center().toPoint());
    EXPECT_TRUE(panel.waitFor([&] { return !panel.shown("updateNotice"); }));
    EXPECT_TRUE(panel.shown("sitesNotice"));  // the notice it stood in front of
}

namespace {

bool controlsLoaded() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    // The module's plugin, not the library: the test program links that itself.
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/qml/QtQuick/Controls/");
}

}  // namespace

// Qt Quick Controls costs a fifth of the panel's start and 6 MiB: an empty panel shows without
// it, and what needs it (a tooltip, a menu, the list) still comes when wanted.
TEST(PanelView, AnEmptyPanelShowsWithoutQtQuickControlsAndLoadsThemWhenWanted) {
    PanelHarness panel;
    panel.settle();
    ASSERT_TRUE(panel.shown("linkField"));
    ASSERT_TRUE(panel.shown("sitesGrid"));
    EXPECT_FALSE(controlsLoaded());

    // Hovering over ⋯ brings its tooltip.
    QTest::mouseMove(&panel.view(), panel.geometry("moreButton").center().toPoint());
    const auto tip = [&] {
        for (QObject* object : panel.root()->findChildren<QObject*>()) {
            if (object->inherits("QQuickToolTip") && object->property("text").toString() == u"更多")
                return object;
        }
        return static_cast<QObject*>(nullptr);
    };
    ASSERT_TRUE(panel.waitFor([&] { return tip() && tip()->property("opened").toBool(); }));
    EXPECT_TRUE(controlsLoaded());

    QTest::mouseClick(&panel.view(), Qt::LeftButton, {},
                      panel.geometry("moreButton").center().toPoint());
    panel.settle();
    EXPECT_TRUE(panel.value("moreMenu", "visible").toBool());
    EXPECT_FALSE(tip()->property("visible").toBool());  // the open menu hides the tooltip
}
