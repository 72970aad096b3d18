// The list model follows the manager's list with inserts, moves and removals, never a reset,
// and a phase change touches only its own row.

#include "gui/item_list_model.h"
#include "panel_harness.h"

#include <gtest/gtest.h>

#include "common/test_support.h"

#include <QSignalSpy>

namespace {

const QString kLinkA = QStringLiteral("https://www.bilibili.com/video/BV1a");
const QString kLinkB = QStringLiteral("https://www.youtube.com/watch?v=b");
const QString kLinkC = QStringLiteral("https://vimeo.com/3");

QString idOf(const DownloadManager::ItemPointer& item) {
    return item->id().toString(QUuid::WithoutBraces);
}

QStringList rowIds(const ItemListModel& model) {
    QStringList ids;
    for (int row = 0; row < model.rowCount(); ++row)
        ids.append(model.data(model.index(row), ItemListModel::itemIdRole).toString());
    return ids;
}

}  // namespace

TEST(ItemListModel, FollowsTheListWithInsertsMovesAndRemovalsNeverAReset) {
    PanelHarness harness;
    DownloadManager& manager = harness.manager();
    ItemListModel model(manager);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy moves(&model, &QAbstractItemModel::rowsMoved);
    QSignalSpy removals(&model, &QAbstractItemModel::rowsRemoved);

    const auto a = harness.add(kLinkA, Phase::makeDone(QStringLiteral("/tmp/a.mp4"), 0));
    const auto b = harness.add(kLinkB, Phase::makeFailed(Failure::cancelled()));
    const auto c = harness.add(kLinkC, Phase::makeWorking(QStringLiteral("正在解析链接…")));
    EXPECT_EQ(rowIds(model), (QStringList{idOf(c), idOf(b), idOf(a)}));
    EXPECT_EQ(inserts.size(), 3);
    EXPECT_EQ(inserts.at(2).at(1).toInt(), 0);  // always on top

    manager.retry(a);  // moves the same row to the top
    EXPECT_EQ(moves.size(), 1);
    EXPECT_EQ(rowIds(model), (QStringList{idOf(a), idOf(c), idOf(b)}));
    TestSupport::waitUntil([&] { return a->isFinished() && !a->cancelToken; });

    manager.remove(c);
    EXPECT_EQ(removals.size(), 1);
    EXPECT_EQ(rowIds(model), (QStringList{idOf(a), idOf(b)}));

    manager.clearFinished();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(removals.size(), 3);
    EXPECT_EQ(inserts.size(), 3);
    EXPECT_EQ(resets.size(), 0);
}

TEST(ItemListModel, RowsCarryTheTextsTheRowShows) {
    PanelHarness harness;
    ItemListModel model(harness.manager());
    Failure failure{QStringLiteral("需要登录"),
                    QStringLiteral("建议"),
                    {Failure::Action::browserCookies(Browser::firefox), Failure::Action::retry,
                     Failure::Action::openLogs}};
    const auto failed = harness.add(kLinkA, Phase::makeFailed(failure));
    const auto done = harness.add(kLinkB, Phase::makeDone(QStringLiteral("/d/b.mp4"), 5 << 20));

    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    failed->setTitle(QStringLiteral("新标题"));
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes.at(0).at(0).toModelIndex().row(), 1);
    EXPECT_EQ(model.data(model.index(1), ItemListModel::titleRole).toString(), "新标题");

    const QVariantList actions =
        model.data(model.index(1), ItemListModel::failureActionsRole).toList();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions.at(0).toMap().value("label").toString(), "使用 Firefox 的登录信息重试");
    EXPECT_EQ(actions.at(0).toMap().value("key").toString(), "useBrowserCookies:firefox");
    EXPECT_EQ(actions.at(1).toMap().value("label").toString(), "重试");
    EXPECT_EQ(actions.at(2).toMap().value("label").toString(), "查看日志");
    // The remedies of a cookie store that cannot be read and of a missing video.
    const auto more = harness.add(
        kLinkB, Phase::makeFailed(
                    Failure{QStringLiteral("t"),
                            QStringLiteral("a"),
                            {Failure::Action::forgetBrowserCookies, Failure::Action::openLink}}));
    const QVariantList moreActions =
        model.data(model.index(0), ItemListModel::failureActionsRole).toList();
    ASSERT_EQ(moreActions.size(), 2);
    EXPECT_EQ(moreActions.at(0).toMap().value("label").toString(), "不使用浏览器登录信息");
    EXPECT_EQ(moreActions.at(0).toMap().value("key").toString(), "forgetBrowserCookies");
    EXPECT_EQ(moreActions.at(1).toMap().value("label").toString(), "在浏览器中打开");
    harness.manager().remove(more);
    EXPECT_EQ(model.data(model.index(0), ItemListModel::sizeTextRole).toString(), "5.0 MB");
    EXPECT_EQ(model.data(model.index(0), ItemListModel::platformRole).toMap().value("name"),
              "YouTube");

    done->setPhase(Phase::makeDownloading(std::nullopt, QStringLiteral("开始下载…")));
    EXPECT_DOUBLE_EQ(model.data(model.index(0), ItemListModel::fractionRole).toDouble(), -1.0);
    done->setPhase(Phase::makeDownloading(0.25, QStringLiteral("25%")));
    EXPECT_DOUBLE_EQ(model.data(model.index(0), ItemListModel::fractionRole).toDouble(), 0.25);
}
