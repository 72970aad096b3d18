#include "gui/logo.h"

#include "support/names.h"

#include <QIconEngine>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPixmap>

#include <cmath>

namespace Logo {

namespace {

struct GlyphShape {
    qreal left, right, top, tip, stroke;    // triangle
    qreal barX, barY, barWidth, barHeight;  // capsule
};
constexpr GlyphShape kTray{30, 70, 26, 58, 12, 22, 74, 56, 11};
constexpr GlyphShape kBadge{31, 69, 30, 60, 11, 26, 72, 48, 9};

QImage blankImage(QSizeF logical, qreal devicePixelRatio) {
    QImage image((logical * devicePixelRatio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    return image;
}

// The idle glyph's two colours: white reads on a dark panel, the dark rim on a light one.
const QColor kIdleFill(255, 255, 255);
const QColor kIdleRim(38, 38, 38);
// The rim's width in hundredths of the glyph's width: about one pixel at 16 pixels.
constexpr qreal kRimWidth = 7;

// The glyph as one filled shape: the stroked-and-filled triangle plus the capsule.
QPainterPath glyphShape(const QRectF& rect, bool menuBar) {
    const GlyphShape& s = menuBar ? kTray : kBadge;
    const qreal k = rect.width() / 100.0;
    auto at = [&](qreal x, qreal y) { return QPointF(rect.left() + x * k, rect.top() + y * k); };
    QPainterPath triangle;
    triangle.moveTo(at(s.left, s.top));
    triangle.lineTo(at(s.right, s.top));
    triangle.lineTo(at(50, s.tip));
    triangle.closeSubpath();
    QPainterPathStroker stroker;
    stroker.setWidth(s.stroke * k);
    stroker.setJoinStyle(Qt::RoundJoin);
    stroker.setCapStyle(Qt::RoundCap);
    QPainterPath shape = stroker.createStroke(triangle).united(triangle);
    QPainterPath bar;
    const QRectF barRect(at(s.barX, s.barY), QSizeF(s.barWidth * k, s.barHeight * k));
    bar.addRoundedRect(barRect, barRect.height() / 2, barRect.height() / 2);
    return shape.united(bar);
}

void paintStatus(QPainter& painter, const QRectF& rect, bool busy) {
    // The 18-pixel picture keeps one logical pixel of air on every side around the glyph.
    const qreal inset = rect.width() / 18.0;
    const QRectF glyph = rect.adjusted(inset, inset, -inset, -inset);
    if (busy) {
        drawGlyph(painter, glyph, rose(), true);
        return;
    }
    const QPainterPath shape = glyphShape(glyph, true);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // The rim lies wholly outside the glyph, which keeps its full size and weight.
    painter.strokePath(shape, QPen(kIdleRim, 2 * kRimWidth * glyph.width() / 100.0, Qt::SolidLine,
                                   Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(shape, kIdleFill);
    painter.restore();
}

// Draws the tray glyph for whatever size the tray asks for, instead of scaling one bitmap.
class StatusIconEngine : public QIconEngine {
public:
    explicit StatusIconEngine(bool busy) : m_busy(busy) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        const qreal side = std::min(rect.width(), rect.height());
        const QRectF square(rect.x() + (rect.width() - side) / 2,
                            rect.y() + (rect.height() - side) / 2, side, side);
        painter->save();
        paintStatus(*painter, square, m_busy);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    // Qt passes the size in device pixels here, with the ratio they are for.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode, QIcon::State, qreal scale) override {
        const QSizeF logical = QSizeF(size) / scale;
        QImage image = blankImage(logical, scale);
        QPainter painter(&image);
        const qreal side = std::min(logical.width(), logical.height());
        paintStatus(painter,
                    QRectF((logical.width() - side) / 2, (logical.height() - side) / 2, side, side),
                    m_busy);
        painter.end();
        return QPixmap::fromImage(image);
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        // Sizes that tray hosts ask for; listing them lets D-Bus trays receive pictures.
        return {QSize(16, 16), QSize(22, 22), QSize(24, 24),
                QSize(32, 32), QSize(48, 48), QSize(64, 64)};
    }

    QIconEngine* clone() const override { return new StatusIconEngine(m_busy); }
    QString key() const override { return QStringLiteral("QuorvinStatus"); }

private:
    bool m_busy;
};

}  // namespace

QColor coral() {
    static const QColor color = QColor::fromRgb(255, 122, 89);
    return color;
}

QColor rose() {
    static const QColor color = QColor::fromRgb(233, 58, 105);
    return color;
}

void drawGlyph(QPainter& painter, const QRectF& rect, const QColor& color, bool menuBar) {
    const GlyphShape& s = menuBar ? kTray : kBadge;
    const qreal k = rect.width() / 100.0;
    auto at = [&](qreal x, qreal y) { return QPointF(rect.left() + x * k, rect.top() + y * k); };

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath triangle;
    triangle.moveTo(at(s.left, s.top));
    triangle.lineTo(at(s.right, s.top));
    triangle.lineTo(at(50, s.tip));
    triangle.closeSubpath();
    painter.setPen(QPen(color, s.stroke * k, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(color);
    painter.drawPath(triangle);

    painter.setPen(Qt::NoPen);
    const QRectF bar(at(s.barX, s.barY), QSizeF(s.barWidth * k, s.barHeight * k));
    painter.drawRoundedRect(bar, bar.height() / 2, bar.height() / 2);
    painter.restore();
}

void drawBadge(QPainter& painter, const QRectF& rect) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // 45°: from the lower left corner to the upper right one, as the gradient runs in an
    // upward-growing picture.
    QLinearGradient gradient(rect.bottomLeft(), rect.topRight());
    gradient.setColorAt(0, coral());
    gradient.setColorAt(1, rose());
    const qreal radius = 0.225 * rect.width();
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawRoundedRect(rect, radius, radius);
    painter.restore();
    drawGlyph(painter, rect, Qt::white, false);
}

void drawAppIcon(QPainter& painter, const QRectF& rect) {
    const qreal w = rect.width();
    const QRectF plate = rect.adjusted(0.0977 * w, 0.0977 * w, -0.0977 * w, -0.0977 * w);
    const qreal radius = 0.225 * plate.width();

    // QPainter has no shadow: blur a dark copy of the plate by layering widening translucent
    // outlines, offset downwards by 1 % of the width.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const qreal blur = 0.02 * w;
    const int steps = std::max(2, int(std::ceil(blur * 2)));
    const QRectF shadow = plate.translated(0, 0.01 * w);
    for (int i = steps; i >= 1; --i) {
        const qreal grow = blur * i / steps;
        painter.setBrush(QColor(0, 0, 0, int(255 * 0.28 / steps)));
        painter.drawRoundedRect(shadow.adjusted(-grow, -grow, grow, grow), radius + grow,
                                radius + grow);
    }
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(plate, radius, radius);
    painter.restore();
    drawBadge(painter, plate);
}

QImage statusImage(bool busy, qreal devicePixelRatio) {
    QImage image = blankImage(QSizeF(18, 18), devicePixelRatio);
    QPainter painter(&image);
    paintStatus(painter, QRectF(0, 0, 18, 18), busy);
    return image;
}

QIcon statusIcon(bool busy) {
    return QIcon(new StatusIconEngine(busy));
}

QString symbolicIconName() {
    return Names::desktopId() + QStringLiteral("-symbolic");
}

QIcon themedIdleStatusIcon() {
    return QIcon::fromTheme(symbolicIconName(), statusIcon(false));
}

QByteArray symbolicIconSvg() {
    // A 16 × 16 glyph in the theme's text colour: hosts that recolour symbolic icons replace
    // the fill with their panel's foreground, Plasma through the ColorScheme-Text class. Left
    // as it is (an XEmbed tray), it is the drawn idle glyph: white inside a dark rim.
    const QPainterPath shape = glyphShape(QRectF(0, 0, 16, 16), true).simplified();
    QByteArray path;
    for (int i = 0; i < shape.elementCount(); ++i) {
        const QPainterPath::Element e = shape.elementAt(i);
        const char command = e.isMoveTo() ? 'M' : e.isLineTo() ? 'L' : e.isCurveTo() ? 'C' : ' ';
        if (e.isMoveTo() && i > 0) path += "Z ";
        if (command != ' ') path += command;
        path += QByteArray::number(e.x, 'f', 3) + ',' + QByteArray::number(e.y, 'f', 3) + ' ';
    }
    const QByteArray rim = QByteArray::number(2 * kRimWidth * 16 / 100.0, 'f', 3);
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\" "
           "viewBox=\"0 0 16 16\">\n"
           "<style id=\"current-color-scheme\">.ColorScheme-Text{color:#ffffff}</style>\n"
           "<path class=\"ColorScheme-Text\" fill=\"currentColor\" stroke=\"#262626\" "
           "paint-order=\"stroke fill\" stroke-width=\"" +
           rim + "\" stroke-linejoin=\"round\" d=\"" + path.trimmed() + " Z\"/>\n</svg>\n";
}

QImage badgeImage(int size, qreal devicePixelRatio) {
    QImage image = blankImage(QSizeF(size, size), devicePixelRatio);
    QPainter painter(&image);
    drawBadge(painter, QRectF(0, 0, size, size));
    return image;
}

QIcon appIcon() {
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 128, 256}) {
        QImage image = blankImage(QSizeF(side, side), 1.0);
        QPainter painter(&image);
        drawAppIcon(painter, QRectF(0, 0, side, side));
        painter.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

}  // namespace Logo
