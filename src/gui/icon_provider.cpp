#include "gui/icon_provider.h"

#include <QColor>
#include <QFile>
#include <QPainter>
#include <QSvgRenderer>
#include <QUrlQuery>

IconProvider::IconProvider() : QQuickImageProvider(QQuickImageProvider::Image) {}

QImage IconProvider::requestImage(const QString& id, QSize* size, const QSize& requestedSize) {
    const QString name = id.section(u'?', 0, 0);
    const QUrlQuery query(id.section(u'?', 1));
    const QColor color(query.queryItemValue(QStringLiteral("color"), QUrl::FullyDecoded));
    const QString weight = query.queryItemValue(QStringLiteral("weight"));

    auto source = m_sources.find(name);
    if (source == m_sources.end()) {
        QFile file(QStringLiteral(":/qt/qml/Quorvin/Panel/icons/") + name + QStringLiteral(".svg"));
        if (!file.open(QIODevice::ReadOnly)) return {};
        source = m_sources.insert(name, file.readAll());
    }
    QByteArray svg = *source;
    // The tint goes in as an opaque colour; its alpha is applied to the whole drawing, so
    // strokes that cross do not darken where they overlap.
    svg.replace("currentColor", color.isValid() ? color.name(QColor::HexRgb).toLatin1() : "#000");
    if (!weight.isEmpty()) {
        svg.replace("stroke-width=\"2\"", "stroke-width=\"" + weight.toLatin1() + "\"");
    }

    const QSize out =
        requestedSize.isValid() && !requestedSize.isEmpty() ? requestedSize : QSize(24, 24);
    QImage image(out, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(svg);
    QPainter painter(&image);
    painter.setOpacity(color.isValid() ? color.alphaF() : 1.0);
    renderer.render(&painter);
    painter.end();
    if (size) *size = out;
    return image;
}
