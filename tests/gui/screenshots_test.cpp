// Not a check: renders the panel in each state, light and dark, into PNG files so people can
// look at it without a tray. scripts/screenshots.sh runs it with QUORVIN_SCREENSHOTS set to the
// output folder.

#include "panel_harness.h"
#include "sites/ytdlp.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTest>

namespace {

void save(PanelHarness& panel, const QString& folder, const QString& name, bool dark) {
    SCOPED_TRACE(name.toStdString());
    panel.settle();
    const QString path = folder + u'/' + name + (dark ? QStringLiteral("-dark") : QString()) +
                         QStringLiteral(".png");
    EXPECT_TRUE(panel.grab().save(path)) << path.toStdString();
}

void renderStates(const QString& folder, bool dark) {
    {
        PanelHarness panel(dark);
        save(panel, folder, QStringLiteral("01-empty"), dark);
        panel.field().setInput(QStringLiteral("这段话里没有链接"));
        save(panel, folder, QStringLiteral("02-no-link"), dark);
        panel.manager().refreshStatus();
        panel.field().setInput(QStringLiteral("https://weixin.qq.com/sph/AbCdEf"));
        save(panel, folder, QStringLiteral("03-channels-login"), dark);
        panel.field().setInput(QStringLiteral("https://www.bilibili.com/video/BV1xx411c7mD"));
        panel.field().prepareForShow();
        save(panel, folder, QStringLiteral("04-recognised-focused"), dark);
    }
    {
        PanelHarness panel(dark);
        const QString link = QStringLiteral("https://www.youtube.com/watch?v=");
        Failure failure{QStringLiteral("这个视频需要登录才能下载"),
                        QStringLiteral("YouTube 要求确认你不是机器人。用浏览器登录 YouTube 后，"
                                       "点「使用 Chrome 的登录信息重试」。"),
                        {Failure::Action::browserCookies(Browser::chrome), Failure::Action::retry,
                         Failure::Action::openLogs}};
        panel.add(link + "f", Phase::makeFailed(failure))->setTitle(QStringLiteral("失败的视频"));
        panel.add(link + "c", Phase::makeFailed(Failure::cancelled()))
            ->setTitle(QStringLiteral("取消的视频"));
        panel.add(link + "d0", Phase::makeDone(QStringLiteral("/d/a.mp4"), 0));
        panel.add(link + "d1", Phase::makeDone(QStringLiteral("/d/b.mp4"), 34 << 20))
            ->setTitle(QStringLiteral("保存好的视频"));
        panel.add(QStringLiteral("https://www.douyin.com/video/1"),
                  Phase::makeDownloading(0.0, QStringLiteral("0% · 0.0 MB / 33.5 MB")));
        panel.add(
            QStringLiteral("https://www.instagram.com/reel/1"),
            Phase::makeDownloading(0.37, QStringLiteral("37% · 12.4 MB / 33.5 MB · 2.1 MB/s")));
        panel
            .add(QStringLiteral("https://weixin.qq.com/sph/x"),
                 Phase::makeWorking(QStringLiteral("正在获取视频信息…")))
            ->setTitle(QString(QStringLiteral("一个很长很长的视频标题，")).repeated(6));
        save(panel, folder, QStringLiteral("05-list"), dark);
        QQuickItem* row = panel.row(panel.manager().items().at(5));
        QTest::mouseMove(&panel.view(), row->mapToItem(panel.root(), QPointF(200, 30)).toPoint());
        save(panel, folder, QStringLiteral("06-list-hover-cancelled"), dark);
        QTest::mouseClick(&panel.view(), Qt::LeftButton, {},
                          panel.geometry(QStringLiteral("moreButton")).center().toPoint());
        save(panel, folder, QStringLiteral("07-more-menu"), dark);
    }
    {
        PanelHarness panel(dark);
        panel.add(QStringLiteral("https://vimeo.com/1"), Phase::makeFailed(Failure::cancelled()));
        save(panel, folder, QStringLiteral("08-one-row"), dark);
        for (int i = 0; i < 12; ++i) {
            panel.add(QStringLiteral("https://vimeo.com/x%1").arg(i),
                      Phase::makeDone(QStringLiteral("/d/x.mp4"), 1 << 20));
        }
        save(panel, folder, QStringLiteral("09-tall-list"), dark);
        // Scrolled down, a link is submitted: the list shows its top, where the new row is.
        QMetaObject::invokeMethod(panel.item(QStringLiteral("itemList")), "positionViewAtEnd");
        panel.field().setInput(QStringLiteral("https://vimeo.com/new"));
        panel.field().submit();
        save(panel, folder, QStringLiteral("10-new-item-while-scrolled"), dark);
        // The keyboard: Tab from the link field to "下载".
        panel.field().setInput(QStringLiteral("https://www.youtube.com/watch?v=abc"));
        panel.field().prepareForShow();
        panel.waitFor([&] {
            const QQuickItem* focused = panel.view().activeFocusItem();
            return focused && focused->objectName() == u"linkField";
        });
        QTest::keyClick(&panel.view(), Qt::Key_Tab);
        save(panel, folder, QStringLiteral("11-focus-on-download"), dark);
    }
    {
        // A site outside the platform table refused: the box names its host.
        PanelHarness panel(dark);
        const QUrl link(QStringLiteral("https://www.example.org/videos/launch"));
        panel.add(link.toString(),
                  Phase::makeFailed(YtDlp::failure(
                      QStringLiteral("ERROR: [generic] Unable to download webpage: HTTP Error "
                                     "403: Forbidden"),
                      Platform::other, std::nullopt, Tools::Settings{}, OsUtils::browserSupport(),
                      link.host())));
        save(panel, folder, QStringLiteral("12-failure-unlisted-site"), dark);
    }
    {
        // The list of an earlier run: a saved video, one whose file has gone, one interrupted.
        PanelHarness panel(dark);
        panel
            .add(QStringLiteral("https://www.bilibili.com/video/BV1"),
                 Phase::makeDone(QStringLiteral("/d/a.mp4"), 21 << 20))
            ->setTitle(QStringLiteral("还在桌面上的视频"));
        panel
            .add(QStringLiteral("https://www.bilibili.com/video/BV2"),
                 Phase::makeFailed(Failure::fileGone()))
            ->setTitle(QStringLiteral("已被删除的视频"));
        panel
            .add(QStringLiteral("https://www.youtube.com/watch?v=i"),
                 Phase::makeFailed(Failure::interrupted()))
            ->setTitle(QStringLiteral("没下载完的视频"));
        save(panel, folder, QStringLiteral("13-restored-list"), dark);
    }
    {
        // A file dropped on the panel: the field keeps its link, one line says why.
        PanelHarness panel(dark);
        panel.field().setInput(QStringLiteral("https://www.bilibili.com/video/BV1xx411c7mD"));
        panel.field().fillFromDrop({QUrl::fromLocalFile(QStringLiteral("/home/u/clip.mp4"))},
                                   QString());
        save(panel, folder, QStringLiteral("14-drop-refused"), dark);
    }
}

}  // namespace

TEST(Screenshots, DISABLED_RenderEveryState) {
    const QString folder = qEnvironmentVariable("QUORVIN_SCREENSHOTS");
    ASSERT_FALSE(folder.isEmpty());
    QDir().mkpath(folder);
    renderStates(folder, false);
    renderStates(folder, true);
}
