#include "gui/badge_stand_in.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

QImage badgeStandIn(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double w = size;
    QLinearGradient gradient(0, 0, w, w);
    gradient.setColorAt(0, QColor(255, 122, 89));
    gradient.setColorAt(1, QColor(233, 58, 105));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawRoundedRect(QRectF(0, 0, w, w), 0.225 * w, 0.225 * w);

    const double k = w / 100;
    QPainterPath triangle;
    triangle.moveTo(31 * k, 30 * k);
    triangle.lineTo(69 * k, 30 * k);
    triangle.lineTo(50 * k, 60 * k);
    triangle.closeSubpath();
    painter.setBrush(Qt::white);
    painter.setPen(QPen(Qt::white, 11 * k, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(triangle);
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(26 * k, 72 * k, 48 * k, 9 * k), 4.5 * k, 4.5 * k);
    return image;
}
