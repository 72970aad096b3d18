// The panel by keyboard and the list under a quick hand: the Tab chain, the list showing what
// was just added, a button that has just appeared under the pointer, and the progress fill that
// only moves forwards.

#include "panel_harness.h"

#include <gtest/gtest.h>

#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString kLink = QStringLiteral("https://www.youtube.com/watch?v=");

// The objectName of the item with the keyboard focus.
QString focused(PanelHarness& panel) {
    const QQuickItem* item = panel.view().activeFocusItem();
    return item ? item->objectName() : QString();
}

QQuickItem* part(PanelHarness& panel, QQuickItem* row, const QString& name) {
    const QList<QQuickItem*> found = panel.all(name, row);
    return found.isEmpty() ? nullptr : found.first();
}

QPoint centre(PanelHarness& panel, QQuickItem* item) {
    return item->mapToItem(panel.root(), QPointF(item->width() / 2, item->height() / 2)).toPoint();
}

}  // namespace

TEST(PanelKeys, TabWalksFromTheFieldThroughTheButtonsToTheMoreMenuAndRoundAgain) {
    PanelHarness panel;
    panel.add(kLink + "a", Phase::makeFailed(Failure::cancelled()));
    panel.settle();
    panel.field().prepareForShow();
    ASSERT_TRUE(panel.waitFor([&] { return focused(panel) == "linkField"; }));

    // With an empty field: "粘贴"; "下载" is disabled and left out.
    const auto walk = [&](Qt::Key key, int presses) {
        QStringList names;
        for (int i = 0; i < presses; ++i) {
            QTest::keyClick(&panel.view(), key);
            names << focused(panel);
        }
        return names.join(u' ').toStdString();
    };
    EXPECT_EQ(walk(Qt::Key_Tab, 5), "pasteButton clearFinished retryButton more linkField");
    EXPECT_EQ(walk(Qt::Key_Backtab, 2), "more retryButton");

    // A row added later goes on top, and the walk reaches it first.
    panel.add(kLink + "c", Phase::makeFailed(Failure::cancelled()));
    panel.settle();
    const auto rowOfFocus = [&] {
        for (QQuickItem* item = panel.view().activeFocusItem(); item; item = item->parentItem()) {
            if (item->objectName().startsWith(u"row:")) return item->objectName().mid(4);
        }
        return QString();
    };
    panel.field().prepareForShow();
    ASSERT_TRUE(panel.waitFor([&] { return focused(panel) == "linkField"; }));
    walk(Qt::Key_Tab, 3);
    EXPECT_EQ(rowOfFocus(), panel.manager().items()[0]->id().toString(QUuid::WithoutBraces));
    walk(Qt::Key_Tab, 1);
    EXPECT_EQ(rowOfFocus(), panel.manager().items()[1]->id().toString(QUuid::WithoutBraces));

    // With a link: "下载", shown with its ring, and Space presses it.
    panel.field().setInput(kLink + "b");
    panel.field().prepareForShow();
    ASSERT_TRUE(panel.waitFor([&] { return focused(panel) == "linkField"; }));
    EXPECT_EQ(walk(Qt::Key_Tab, 1), "downloadButton");
    QQuickItem* ring = part(panel, panel.item("downloadButton"), "focusRing");
    EXPECT_TRUE(ring && ring->isVisible());
    QTest::keyClick(&panel.view(), Qt::Key_Space);
    ASSERT_EQ(panel.manager().items().size(), 3);
    EXPECT_EQ(panel.manager().items().first()->url(), QUrl(kLink + "b"));
}

TEST(PanelKeys, AnItemAddedWhileTheListIsScrolledDownIsBroughtIntoView) {
    PanelHarness panel;
    for (int i = 0; i < 12; ++i) {
        panel.add(kLink + QString::number(i), Phase::makeDone(QStringLiteral("/d/x.mp4"), 1));
    }
    panel.settle();
    QQuickItem* list = panel.item("itemList");
    QMetaObject::invokeMethod(list, "positionViewAtEnd");
    ASSERT_GT(list->property("contentY").toDouble(), 200);

    panel.field().setInput(kLink + "new");
    panel.field().submit();
    const auto added = panel.manager().items().first();
    EXPECT_TRUE(panel.waitFor([&] {
        QQuickItem* row = panel.row(added);
        return row && row->y() == list->property("contentY").toDouble() && row->opacity() == 1;
    }));
}

TEST(PanelKeys, TheRetryButtonThatReplacesCancelUnderThePointerIgnoresTheDoubleClick) {
    PanelHarness panel;
    const auto item = panel.add(kLink + "a", Phase::makeDownloading(0.3, QStringLiteral("30%")));
    panel.settle();
    QQuickItem* row = panel.row(item);
    const QPoint at = centre(panel, part(panel, row, "cancelButton"));

    // The first click cancels (the run is stood in for: no task runs here), the second lands
    // on the retry button that took its place.
    QSignalSpy phases(item.get(), &DownloadItem::phaseChanged);
    QTest::mouseClick(&panel.view(), Qt::LeftButton, {}, at);
    item->setPhase(Phase::makeFailed(Failure::cancelled()));
    QQuickItem* retry = part(panel, row, "retryButton");
    ASSERT_TRUE(panel.waitFor([&] { return retry->isVisible(); }));
    ASSERT_EQ(centre(panel, retry), at);
    QTest::mouseClick(&panel.view(), Qt::LeftButton, {}, at);
    EXPECT_EQ(phases.count(), 1);
    EXPECT_TRUE(item->phase().failure().isCancel);

    // Once it has been there a moment, it retries.
    ASSERT_TRUE(
        panel.waitFor([&] { return part(panel, row, "buttons")->property("settled").toBool(); }));
    QTest::mouseClick(&panel.view(), Qt::LeftButton, {}, at);
    EXPECT_GT(phases.count(), 1);
}

TEST(PanelKeys, TheProgressFillStartsFromZeroAndNeverRunsBackwards) {
    PanelHarness panel;
    const auto item = panel.add(kLink + "a", Phase::makeWorking(QStringLiteral("正在解析链接…")));
    panel.settle();
    QQuickItem* row = panel.row(item);
    QQuickItem* fill = part(panel, row, "progressFill");
    const double full = part(panel, row, "progress")->width();
    ASSERT_GT(fill->width(), 100);  // the sliding segment

    // Every width the fill is drawn at, from here on.
    QList<double> widths;
    QObject::connect(fill, &QQuickItem::widthChanged, [&] { widths.append(fill->width()); });
    item->setPhase(Phase::makeDownloading(0.0, QStringLiteral("0%")));
    EXPECT_DOUBLE_EQ(fill->width(), 4);  // at once: 0 % shows the stub
    item->setPhase(Phase::makeDownloading(0.5, QStringLiteral("50%")));
    ASSERT_TRUE(panel.waitFor([&] { return fill->width() == full / 2; }));
    EXPECT_GT(widths.size(), 3);  // it glided there
    EXPECT_TRUE(std::is_sorted(widths.begin(), widths.end()));

    // A new attempt starts again from 0 at once.
    widths.clear();
    item->setPhase(Phase::makeDownloading(0.1, QStringLiteral("10%")));
    EXPECT_DOUBLE_EQ(fill->width(), full / 10);
    EXPECT_EQ(widths, QList<double>{full / 10});
}
