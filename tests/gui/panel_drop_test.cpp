// Links and share text dropped on the real panel, as a browser, a chat or a file manager drops
// them: they fill the field as the clipboard does and never start a download; whatever holds no
// web link changes nothing and says so in one line.

#include "common/test_support.h"
#include "panel_harness.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMimeData>

namespace {

const QString kNoLink = QStringLiteral("没有找到网页链接（只接受 http 或 https 链接）");

// Drags `mime` over the paste row and drops it there; whether the panel took the drop.
bool drop(PanelHarness& panel, const QMimeData& mime) {
    const QPoint at = panel.geometry(QStringLiteral("pasteRow")).center().toPoint();
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(at, offered, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(&panel.view(), &enter);
    bool taken = false;
    if (enter.isAccepted()) {
        QDragMoveEvent move(at, offered, &mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(&panel.view(), &move);
        QDropEvent dropped(at, offered, &mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(&panel.view(), &dropped);
        taken = dropped.isAccepted();
    } else {
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(&panel.view(), &leave);
    }
    panel.settle();
    return taken;
}

QMimeData* text(const QString& dropped) {
    auto* mime = new QMimeData;
    mime->setText(dropped);
    return mime;
}

}  // namespace

TEST(PanelDrop, ShareTextOrABrowsersLinkFillsTheFieldAndNothingStarts) {
    PanelHarness panel;
    std::unique_ptr<QMimeData> share(
        text(QStringLiteral("复制打开抖音 https://v.douyin.com/MuEswcb/ 看看")));
    EXPECT_TRUE(drop(panel, *share));
    EXPECT_EQ(panel.field().input(), QStringLiteral("https://v.douyin.com/MuEswcb/"));
    ASSERT_TRUE(panel.field().detected().has_value());
    EXPECT_EQ(panel.field().detected()->platform, Platform::douyin);

    // A browser's link: its address, with its title as the text.
    QMimeData link;
    link.setUrls({QUrl(QStringLiteral("https://www.bilibili.com/video/BV1xx411c7mD"))});
    link.setText(QStringLiteral("某个视频的标题 - 哔哩哔哩"));
    EXPECT_TRUE(drop(panel, link));
    EXPECT_EQ(panel.field().input(), QStringLiteral("https://www.bilibili.com/video/BV1xx411c7mD"));
    EXPECT_EQ(panel.value("linkField", "text").toString(), panel.field().input());
    EXPECT_TRUE(panel.shown(QStringLiteral("platformChip")));
    EXPECT_TRUE(panel.manager().items().isEmpty());
    EXPECT_FALSE(panel.shown(QStringLiteral("dropHint")));
}

TEST(PanelDrop, WhatHoldsNoWebLinkChangesNothingAndSaysSoInOneLine) {
    PanelHarness panel;
    const QString kept = QStringLiteral("https://www.bilibili.com/video/BV1xx411c7mD");
    panel.field().setInput(kept);
    panel.settle();

    // A file from a file manager: a file link, and its path as text, where a host-like folder
    // name must not pass for a web address.
    QMimeData file;
    file.setUrls({QUrl::fromLocalFile(QStringLiteral("/home/u/example.com/clip.mp4"))});
    file.setText(QStringLiteral("/home/u/example.com/clip.mp4"));
    std::unique_ptr<QMimeData> junk(text(QStringLiteral("只是一段话，没有链接")));
    std::unique_ptr<QMimeData> otherScheme(text(QStringLiteral("ftp://example.com/clip.mp4")));
    for (const QMimeData* refused : {&file, junk.get(), otherScheme.get()}) {
        EXPECT_FALSE(drop(panel, *refused)) << refused->text().toStdString();
        EXPECT_EQ(panel.field().input(), kept);
        EXPECT_TRUE(panel.shown(QStringLiteral("dropHint")));
        EXPECT_EQ(panel.value("dropHintText", "text").toString(), kNoLink);
        EXPECT_EQ(panel.value("dropHintText", "lineCount").toInt(), 1);
    }

    // More than 64 KiB is not read at all, even with a link at its start.
    std::unique_ptr<QMimeData> huge(
        text(QStringLiteral("https://v.douyin.com/MuEswcb/ ") + QString(70 * 1024, u'x')));
    EXPECT_FALSE(drop(panel, *huge));
    EXPECT_EQ(panel.field().input(), kept);
    EXPECT_EQ(panel.value("dropHintText", "text").toString(),
              QStringLiteral("内容太长：一次最多 64 KiB"));

    // Neither text nor links (a picture alone): not even offered to the panel.
    QMimeData picture;
    picture.setData(QStringLiteral("image/png"), QByteArray("\x89PNG\r\n\x1a\n", 8));
    EXPECT_FALSE(drop(panel, picture));

    // The hint lasts until the field changes.
    panel.field().setInput(QString());
    panel.settle();
    EXPECT_FALSE(panel.shown(QStringLiteral("dropHint")));
    EXPECT_TRUE(panel.manager().items().isEmpty());
}
