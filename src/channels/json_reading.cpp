#include "channels/json_reading.h"

#include <cmath>

namespace JsonReading {

std::optional<qint64> integer(const QJsonValue& value) {
    if (!value.isDouble()) return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::trunc(number) != number || std::fabs(number) > 9.0e15) {
        return std::nullopt;
    }
    return qint64(number);
}

std::optional<QString> text(const QJsonValue& value) {
    if (!value.isString()) return std::nullopt;
    return value.toString();
}

}  // namespace JsonReading
