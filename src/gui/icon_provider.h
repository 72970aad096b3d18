#pragma once

#include <QHash>
#include <QQuickImageProvider>

// The panel's icons (":/qt/qml/Quorvin/Panel/icons/<name>.svg", resources of the panel's module),
// tinted and drawn at the size asked for. The id is "<name>?color=<#rrggbb or
// #aarrggbb>&weight=<stroke width>", so one SVG serves every colour of the palette, light or dark,
// and the font weights the icons stand beside.
class IconProvider : public QQuickImageProvider {
public:
    IconProvider();
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;

private:
    QHash<QString, QByteArray> m_sources;
};
