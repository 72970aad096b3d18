#include "gui/platform_values.h"

#include <QVariantList>

QColor toColor(Rgb rgb) {
    return QColor(rgb.red, rgb.green, rgb.blue);
}

QVariantMap platformValues(Platform platform) {
    QVariantList colors;
    for (const Rgb& rgb : platform.colors()) colors.append(toColor(rgb));
    return {
        {QStringLiteral("raw"), platform.rawValue()},
        {QStringLiteral("name"), platform.name()},
        {QStringLiteral("mark"), platform.mark()},
        {QStringLiteral("colors"), colors},
        {QStringLiteral("color"), toColor(platform.color())},
    };
}
