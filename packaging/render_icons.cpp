// Renders the application icon from the app's own drawing code into a hicolor icon theme tree:
// PNGs at the sizes desktops ask for, plus a scalable SVG. Run at build time, so the installed
// icon can never drift from what the app draws.
//
//   render_icons OUTPUT_FOLDER ICON_NAME
//
// writes OUTPUT_FOLDER/hicolor/<n>x<n>/apps/ICON_NAME.png,
// OUTPUT_FOLDER/hicolor/scalable/apps/ICON_NAME.svg and the tray's idle glyph as
// OUTPUT_FOLDER/hicolor/symbolic/apps/ICON_NAME-symbolic.svg.

#include "gui/logo.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <cstdio>

namespace {

constexpr int kPixelSizes[] = {16, 22, 24, 32, 48, 64, 128, 256, 512};
// The SVG's nominal size; desktops scale it freely.
constexpr int kSvgSize = 128;

bool fail(const QString& message) {
    std::fprintf(stderr, "render_icons: %s\n", qPrintable(message));
    return false;
}

QString prepareFolder(const QString& root, const QString& sizeName) {
    const QString folder = root + QStringLiteral("/hicolor/") + sizeName + QStringLiteral("/apps");
    QDir().mkpath(folder);
    return folder;
}

bool renderPng(const QString& root, const QString& name, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        Logo::drawAppIcon(painter, QRectF(0, 0, size, size));
    }
    const QString sizeName = QStringLiteral("%1x%1").arg(size);
    const QString path = prepareFolder(root, sizeName) + QLatin1Char('/') + name + ".png";
    // Icons are looked at pixel by pixel: the best compression costs nothing at run time.
    if (!image.save(path, "PNG", 0)) return fail(QStringLiteral("cannot write ") + path);
    return true;
}

bool renderSvg(const QString& root, const QString& name) {
    const QString path = prepareFolder(root, QStringLiteral("scalable")) + QLatin1Char('/') + name +
                         QStringLiteral(".svg");
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(kSvgSize, kSvgSize));
    svg.setViewBox(QRectF(0, 0, kSvgSize, kSvgSize));
    svg.setTitle(QStringLiteral("Quorvin"));
    svg.setResolution(96);
    QPainter painter;
    if (!painter.begin(&svg)) return fail(QStringLiteral("cannot write ") + path);
    painter.setRenderHint(QPainter::Antialiasing);
    Logo::drawAppIcon(painter, QRectF(0, 0, kSvgSize, kSvgSize));
    painter.end();
    return true;
}

// The idle tray glyph by name: StatusNotifierItem hosts recolour "-symbolic" icons to suit
// their panel.
bool renderSymbolic(const QString& root, const QString& name) {
    const QString path = prepareFolder(root, QStringLiteral("symbolic")) + QLatin1Char('/') + name +
                         QStringLiteral("-symbolic.svg");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(Logo::symbolicIconSvg()) < 0 || !file.flush())
        return fail(QStringLiteral("cannot write ") + path);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // A build machine has no display; drawing into images needs none.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: render_icons OUTPUT_FOLDER ICON_NAME\n");
        return 2;
    }
    const QString root = arguments.at(1);
    const QString name = arguments.at(2);
    for (const int size : kPixelSizes) {
        if (!renderPng(root, name, size)) return 1;
    }
    return renderSvg(root, name) && renderSymbolic(root, name) ? 0 : 1;
}
