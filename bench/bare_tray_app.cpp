// The yardstick for the app start-up benchmark: the least a Qt Quick tray app can be. A tray
// icon and one empty 440 × 300 window drawn by the same software renderer, shown at once;
// Escape hides it, as it hides quorvin's panel. Prints "first-frame <epoch ms>" when the
// window's first frame is on screen. With --text the window also shows a few of the panel's
// texts, in its weights: what showing Chinese text costs any app, for reference.

#include <QApplication>
#include <QDateTime>
#include <QPainter>
#include <QPixmap>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QSystemTrayIcon>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    QPixmap dot(22, 22);
    dot.fill(Qt::black);
    QSystemTrayIcon tray{QIcon(dot)};
    tray.show();

    QQuickView view;
    view.setFlags(Qt::Tool | Qt::FramelessWindowHint);
    auto* component = new QQmlComponent(view.engine(), &view);
    const bool withText = argc > 1 && std::strcmp(argv[1], "--text") == 0;
    const QByteArray texts =
        "  Column { x: 16; y: 16; spacing: 12\n"
        "    Text { text: \"Quorvin\"; font.pointSize: 13; font.weight: Font.DemiBold }\n"
        "    Text { text: \"粘贴视频链接\"; font.pointSize: 13 }\n"
        "    Text { text: \"下载 · 支持这些网站，视频保存到桌面\"; font.pointSize: 11;"
        " font.weight: Font.DemiBold } }\n";
    component->setData(
        "import QtQuick\nRectangle { width: 440; height: 300; focus: true\n"
        "  Keys.onEscapePressed: Window.window.hide()\n" +
            (withText ? texts : QByteArray()) + "}\n",
        QUrl());
    view.setContent(QUrl(), component, component->create());
    view.resize(440, 300);
    QObject::connect(&view, &QQuickWindow::frameSwapped, &view, [] {
        static bool once = false;
        if (once) return;
        once = true;
        std::printf("first-frame %lld\n", QDateTime::currentMSecsSinceEpoch());
        std::fflush(stdout);
    });
    view.show();
    return app.exec();
}
