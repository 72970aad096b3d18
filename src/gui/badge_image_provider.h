#pragma once

#include <QImage>
#include <QQuickImageProvider>

#include <functional>

// The panel's drawn squares, at the size and resolution QML asks for:
// - "image://badge/logo": the program's badge in the header;
// - "image://badge/fill?radius=<fraction of the side>&stops=<colour>,<colour>[,…]": a rounded
//   square filled with a gradient from the top-leading to the bottom-trailing corner, the fill
//   of a platform's badge. Identical requests share one image in QML's cache;
// - "image://badge/corner?color=<colour>": a corner piece that rounds a picture's corner.
class BadgeImageProvider : public QQuickImageProvider {
public:
    using Draw = std::function<QImage(int size)>;
    explicit BadgeImageProvider(Draw logo);
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;

    static QImage gradientSquare(int side, double radiusFraction, const QList<QColor>& stops);

private:
    Draw m_logo;
};
