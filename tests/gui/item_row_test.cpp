// Download rows by phase: status texts, buttons, the progress stub, the failure box and its
// remedies, the hover-only trash button and the two-line title.

#include "common/test_support.h"
#include "panel_harness.h"
#include "support/app_paths.h"

#include <gtest/gtest.h>

#include <QTest>

namespace {

const QString kLink = QStringLiteral("https://www.youtube.com/watch?v=abc");

QQuickItem* part(PanelHarness& panel, QQuickItem* row, const QString& name) {
    const QList<QQuickItem*> found = panel.all(name, row);
    return found.isEmpty() ? nullptr : found.first();
}

bool partShown(PanelHarness& panel, QQuickItem* row, const QString& name) {
    QQuickItem* item = part(panel, row, name);
    return item && item->isVisible();
}

QString text(PanelHarness& panel, QQuickItem* row, const QString& name) {
    QQuickItem* item = part(panel, row, name);
    return item ? item->property("text").toString() : QString();
}

}  // namespace

TEST(ItemRow, DoneRowsShowTheSizeOnlyWhenThereIsOne) {
    PanelHarness panel;
    const auto empty = panel.add(kLink, Phase::makeDone(QStringLiteral("/d/empty.mp4"), 0));
    const auto full =
        panel.add(kLink + "2", Phase::makeDone(QStringLiteral("/d/full.mp4"), 3 * 1048576 / 2));
    panel.settle();
    EXPECT_EQ(text(panel, panel.row(empty), "statusText"), "已保存到桌面");
    EXPECT_EQ(text(panel, panel.row(full), "statusText"), "已保存到桌面 · 1.5 MB");
    EXPECT_TRUE(partShown(panel, panel.row(full), "playButton"));
    EXPECT_TRUE(partShown(panel, panel.row(full), "revealButton"));
    EXPECT_FALSE(partShown(panel, panel.row(full), "cancelButton"));
    EXPECT_FALSE(partShown(panel, panel.row(full), "progress"));

    const QQuickItem* reveal = part(panel, panel.row(full), "revealButton");
    // Named for what it opens here: a Linux desktop has no Finder.
    EXPECT_EQ(reveal->property("help").toString(), u"在文件管理器中显示");
    const QPointF at = reveal->mapToItem(panel.root(), QPointF(13, 13));
    QTest::mouseClick(&panel.view(), Qt::LeftButton, {}, at.toPoint());
    EXPECT_EQ(panel.workspace->revealed, QStringList{QStringLiteral("/d/full.mp4")});
}

TEST(ItemRow, ACancelledRowOffersRetryAndTheTrashOnlyOnHover) {
    PanelHarness panel;
    const auto item = panel.add(kLink, Phase::makeFailed(Failure::cancelled()));
    panel.settle();
    QQuickItem* row = panel.row(item);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(text(panel, row, "statusText"), "已取消");
    EXPECT_FALSE(partShown(panel, row, "failureBox"));
    EXPECT_TRUE(partShown(panel, row, "retryButton"));
    EXPECT_FALSE(partShown(panel, row, "trashButton"));
    EXPECT_DOUBLE_EQ(row->height(), 60);  // 10 + the 40-high top line + 10

    QTest::mouseMove(&panel.view(), row->mapToItem(panel.root(), QPointF(30, 30)).toPoint());
    panel.settle();
    EXPECT_TRUE(partShown(panel, row, "trashButton"));
    QQuickItem* trash = part(panel, row, "trashButton");
    QQuickItem* retry = part(panel, row, "retryButton");
    EXPECT_LT(trash->x(), retry->x());  // trash, then retry

    QTest::mouseMove(&panel.view(), QPoint(5, 5));
    panel.settle();
    EXPECT_FALSE(partShown(panel, row, "trashButton"));
}

TEST(ItemRow, AnUnknownFractionIsIndeterminateAndZeroStillShowsAStub) {
    PanelHarness panel;
    const auto item =
        panel.add(kLink, Phase::makeDownloading(std::nullopt, QStringLiteral("开始下载…")));
    panel.settle();
    QQuickItem* row = panel.row(item);
    EXPECT_TRUE(partShown(panel, row, "progress"));
    EXPECT_TRUE(part(panel, row, "progress")->property("indeterminate").toBool());
    EXPECT_TRUE(partShown(panel, row, "cancelButton"));

    item->setPhase(Phase::makeDownloading(0.0, QStringLiteral("0% · 0.0 MB / 9.0 MB")));
    panel.settle();
    EXPECT_FALSE(part(panel, row, "progress")->property("indeterminate").toBool());
    // The fill goes from the sliding segment to the stub at once (never running backwards).
    EXPECT_TRUE(panel.waitFor([&] { return part(panel, row, "progressFill")->width() == 4; }));
    EXPECT_DOUBLE_EQ(part(panel, row, "progressFill")->width(), 4);
    EXPECT_DOUBLE_EQ(part(panel, row, "progress")->height(), 4);
    EXPECT_EQ(text(panel, row, "statusText"), "0% · 0.0 MB / 9.0 MB");

    item->setPhase(Phase::makeDownloading(0.5, QStringLiteral("50%")));
    // The fill animates to its width.
    EXPECT_TRUE(panel.waitFor([&] {
        return part(panel, row, "progressFill")->width() ==
               part(panel, row, "progress")->width() / 2;
    }));

    QTest::mouseClick(
        &panel.view(), Qt::LeftButton, {},
        part(panel, row, "cancelButton")->mapToItem(panel.root(), QPointF(13, 13)).toPoint());
    EXPECT_TRUE(panel.manager().items().contains(item));  // no task runs: nothing to cancel
}

TEST(ItemRow, AFailureShowsItsAdviceAndRemediesTheFirstOnePrimary) {
    PanelHarness panel;
    Failure failure{QStringLiteral("这个视频需要登录才能下载"),
                    QStringLiteral("第一行建议。\n细节"),
                    {Failure::Action::openLogs, Failure::Action::browserCookies(Browser::chrome),
                     Failure::Action::copyInstallCommand}};
    const auto item = panel.add(kLink, Phase::makeFailed(failure));
    panel.settle();
    QQuickItem* row = panel.row(item);
    EXPECT_EQ(text(panel, row, "statusText"), "这个视频需要登录才能下载");
    EXPECT_TRUE(partShown(panel, row, "failureBox"));
    EXPECT_EQ(text(panel, row, "advice"), "第一行建议。\n细节");

    QList<QQuickItem*> buttons;
    for (QQuickItem* child : part(panel, row, "remedies")->childItems()) {
        if (child->property("primary").isValid()) buttons.append(child);
    }
    ASSERT_EQ(buttons.size(), 3);
    EXPECT_EQ(buttons.at(0)->property("text").toString(), "查看日志");
    EXPECT_EQ(buttons.at(1)->property("text").toString(), "使用 Chrome 的登录信息重试");
    EXPECT_EQ(buttons.at(2)->property("text").toString(), "复制安装命令");
    EXPECT_TRUE(buttons.at(0)->property("primary").toBool());
    EXPECT_FALSE(buttons.at(1)->property("primary").toBool());
    EXPECT_DOUBLE_EQ(buttons.at(0)->height(), 24);

    QTest::mouseClick(&panel.view(), Qt::LeftButton, {},
                      buttons.at(0)->mapToItem(panel.root(), QPointF(8, 12)).toPoint());
    ASSERT_EQ(panel.workspace->opened.size(), 1);
    EXPECT_EQ(panel.workspace->opened.first(), QUrl::fromLocalFile(AppPaths::appLog()));
    QTest::mouseClick(&panel.view(), Qt::LeftButton, {},
                      buttons.at(2)->mapToItem(panel.root(), QPointF(8, 12)).toPoint());
    EXPECT_TRUE(panel.clipboard->contents.value_or(QString()).contains("yt-dlp"));
}

TEST(ItemRow, ALongTitleIsCutAtTwoLines) {
    PanelHarness panel;
    const auto item = panel.add(kLink, Phase::makeWorking(QStringLiteral("正在解析链接…")));
    item->setTitle(QString(QStringLiteral("一个非常非常长的视频标题")).repeated(8));
    panel.settle();
    QQuickItem* title = part(panel, panel.row(item), "title");
    EXPECT_EQ(title->property("lineCount").toInt(), 2);
    EXPECT_TRUE(title->property("truncated").toBool());
    EXPECT_FALSE(part(panel, panel.row(item), "thumbnailImage")->isVisible());  // none known
}

TEST(ItemRow, TheRightClickMenuIsMadeOnDemandAndActsOnItsOwnRow) {
    PanelHarness panel;
    const auto first = panel.add(kLink, Phase::makeDone(QStringLiteral("/d/a.mp4"), 1));
    const auto second = panel.add(kLink + "2", Phase::makeDone(QStringLiteral("/d/b.mp4"), 1));
    panel.settle();
    QQuickItem* row = panel.row(first);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->property("contextMenu").value<QObject*>(), nullptr);

    const QPointF at = row->mapToItem(panel.root(), QPointF(row->width() / 2, 12));
    QTest::mouseClick(&panel.view(), Qt::RightButton, {}, at.toPoint());
    panel.settle();
    QObject* menu = row->property("contextMenu").value<QObject*>();
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(menu->property("visible").toBool());
    QQuickItem* remove = nullptr;
    QMetaObject::invokeMethod(menu, "itemAt", Q_RETURN_ARG(QQuickItem*, remove), Q_ARG(int, 3));
    ASSERT_NE(remove, nullptr);
    EXPECT_EQ(remove->property("text").toString(), u"从列表移除");
    QMetaObject::invokeMethod(remove, "triggered");
    EXPECT_EQ(panel.manager().items(), QList<DownloadManager::ItemPointer>{second});
}
