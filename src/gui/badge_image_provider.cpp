#include "gui/badge_image_provider.h"

#include <QLinearGradient>
#include <QPainter>
#include <QUrl>
#include <QUrlQuery>

BadgeImageProvider::BadgeImageProvider(Draw logo)
    : QQuickImageProvider(QQuickImageProvider::Image), m_logo(std::move(logo)) {}

QImage BadgeImageProvider::gradientSquare(int side, double radiusFraction,
                                          const QList<QColor>& stops) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (stops.isEmpty()) return image;
    QLinearGradient gradient(0, 0, side, side);
    for (int i = 0; i < stops.size(); ++i) {
        gradient.setColorAt(stops.size() == 1 ? 0 : double(i) / double(stops.size() - 1),
                            stops.at(i));
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    const double radius = radiusFraction * side;
    painter.drawRoundedRect(QRectF(0, 0, side, side), radius, radius);
    return image;
}

QImage BadgeImageProvider::requestImage(const QString& id, QSize* size,
                                        const QSize& requestedSize) {
    int side = requestedSize.isValid() ? qMax(requestedSize.width(), requestedSize.height()) : 0;
    if (side <= 0) side = 22;
    QImage image;
    if (id.startsWith(QLatin1String("fill"))) {
        const QUrlQuery query(id.section(u'?', 1));
        QList<QColor> stops;
        const QString list = query.queryItemValue(QStringLiteral("stops"), QUrl::FullyDecoded);
        for (const QString& name : list.split(u',', Qt::SkipEmptyParts)) stops.append(QColor(name));
        image =
            gradientSquare(side, query.queryItemValue(QStringLiteral("radius")).toDouble(), stops);
    } else if (id.startsWith(QLatin1String("corner"))) {
        // A top-left corner piece: the colour everywhere outside a quarter circle of the
        // piece's size. Rotated, it rounds the other corners.
        const QUrlQuery query(id.section(u'?', 1));
        image = QImage(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(QColor(query.queryItemValue(QStringLiteral("color"), QUrl::FullyDecoded)));
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawEllipse(QRectF(0, 0, 2.0 * side, 2.0 * side));
    } else if (m_logo) {
        image = m_logo(side);
    }
    if (size) *size = image.size();
    return image;
}
