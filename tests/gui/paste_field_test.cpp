#include "gui/paste_field.h"
#include "common/test_support.h"
#include "panel_harness.h"

#include <gtest/gtest.h>

#include <QFile>

namespace {

const QString kFirst = QStringLiteral("https://www.bilibili.com/video/BV1xx411c7mD");
const QString kSecond = QStringLiteral("https://www.bilibili.com/video/BV1yy411c7mE");

// A field over a real manager whose yt-dlp runs until cancelled, so a submitted link stays
// downloading as long as a test needs.
class PasteFieldTest : public ::testing::Test {
protected:
    PasteFieldTest() : manager(services(), settings()), field(manager) {
        QObject::connect(&manager, &DownloadManager::activeChanged,
                         [this](bool active) { activeChanges.append(active); });
    }

    ~PasteFieldTest() override {
        manager.cancelAll();
        EXPECT_TRUE(TestSupport::waitUntil([this] { return !manager.hasActive(); }));
    }

    DesktopServices services() {
        DesktopServices services;
        services.clipboard = clipboard;
        return services;
    }

    static YtDlp::Settings settings() {
        const QString tools = TestSupport::home() + QStringLiteral("/tools");
        // It answers the version query of the tools status at once, as the real one does.
        for (const auto& [name, body] :
             {std::pair{"yt-dlp",
                        "#!/bin/sh\n[ \"$1\" = --version ] && echo 2025.04.30 && exit 0\n"
                        "exec sleep 60\n"},
              std::pair{"ffmpeg", "#!/bin/sh\n"}}) {
            const QString path = TestSupport::writeFile(tools + u'/' + QLatin1String(name), body);
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        YtDlp::Settings settings;
        settings.tools.searchDirs = {tools};
        return settings;
    }

    std::shared_ptr<PanelHarness::Clipboard> clipboard =
        std::make_shared<PanelHarness::Clipboard>();
    DownloadManager manager;
    PasteField field;
    QList<bool> activeChanges;
};

}  // namespace

TEST_F(PasteFieldTest, SubmitWithoutALinkDoesNothing) {
    field.setInput(QStringLiteral("没有链接"));
    field.submit();
    EXPECT_TRUE(manager.items().isEmpty());
    EXPECT_EQ(field.input(), QStringLiteral("没有链接"));
    EXPECT_TRUE(activeChanges.isEmpty());
}

TEST_F(PasteFieldTest, SubmitEmptiesTheFieldAndADuplicateOnlyMovesUp) {
    field.setInput(QStringLiteral("看看这个 ") + kFirst + QStringLiteral(" 很好看"));
    field.submit();
    EXPECT_TRUE(field.input().isEmpty());
    EXPECT_FALSE(field.detected().has_value());
    ASSERT_EQ(manager.items().size(), 1);
    const auto first = manager.items().first();
    EXPECT_EQ(first->url(), QUrl(kFirst));
    EXPECT_EQ(first->platform(), Platform::bilibili);
    EXPECT_TRUE(first->isActive());

    field.setInput(kSecond);
    field.submit();
    field.setInput(QStringLiteral("再来 ") + kFirst);
    field.submit();
    EXPECT_TRUE(field.input().isEmpty());
    ASSERT_EQ(manager.items().size(), 2);
    EXPECT_EQ(manager.items().first(), first);
    EXPECT_EQ(activeChanges, (QList<bool>{true, true}));  // two runs, the duplicate none
}

TEST_F(PasteFieldTest, AutofillFromTheClipboardOnce) {
    clipboard->contents = QStringLiteral("复制打开抖音 https://v.douyin.com/MuEswcb/ 看看");
    field.prepareForShow();
    EXPECT_EQ(field.input(), QStringLiteral("https://v.douyin.com/MuEswcb/"));
    ASSERT_TRUE(field.detected().has_value());
    EXPECT_EQ(field.detected()->platform, Platform::douyin);
    EXPECT_EQ(field.focusTick(), 1);
    // The user clears the field; the same clipboard link is not put back.
    field.setInput(QString());
    field.prepareForShow();
    EXPECT_TRUE(field.input().isEmpty());
    EXPECT_EQ(field.focusTick(), 2);
    EXPECT_TRUE(manager.items().isEmpty());  // autofill never submits
}

TEST_F(PasteFieldTest, AutofillSkipsALinkThatIsDownloading) {
    field.setInput(kFirst);
    field.submit();
    ASSERT_TRUE(manager.hasActive());
    clipboard->contents = kFirst;
    field.prepareForShow();
    EXPECT_TRUE(field.input().isEmpty());
    EXPECT_FALSE(field.lastAutofill().has_value());
    // Once it has ended, the link fills the field again.
    manager.cancelAll();
    ASSERT_TRUE(TestSupport::waitUntil([this] { return !manager.hasActive(); }));
    field.prepareForShow();
    EXPECT_EQ(field.input(), kFirst);
}

TEST_F(PasteFieldTest, PasteTakesTheLinkOrTheTrimmedText) {
    clipboard->contents = QStringLiteral("  只是一段话 \n");
    field.pasteFromClipboard();
    EXPECT_EQ(field.input(), QStringLiteral("只是一段话"));
    EXPECT_FALSE(field.detected().has_value());
    clipboard->contents = QStringLiteral("https://b23.tv/TgEIXkw。打扰了");
    field.pasteFromClipboard();
    EXPECT_EQ(field.input(), QStringLiteral("https://b23.tv/TgEIXkw"));
    EXPECT_FALSE(field.lastAutofill().has_value());
    clipboard->contents.reset();
    field.pasteFromClipboard();
    EXPECT_EQ(field.input(), QStringLiteral("https://b23.tv/TgEIXkw"));
}

TEST_F(PasteFieldTest, OnlyAChannelsLinkNeedsTheLoginAndOnlyWhenLoggedOut) {
    field.setInput(QStringLiteral("https://weixin.qq.com/sph/X"));
    EXPECT_FALSE(field.needsYuanbaoLogin());  // not known yet
    logInToYuanbao(true);
    manager.refreshStatus();
    EXPECT_FALSE(field.needsYuanbaoLogin());
    manager.logoutYuanbao();
    EXPECT_TRUE(field.needsYuanbaoLogin());
    field.setInput(kFirst);
    EXPECT_FALSE(field.needsYuanbaoLogin());
}
