#include "channels/json_reading.h"

#include "net/problem.h"

#include <QJsonDocument>

#include <cmath>

namespace JsonReading {

QJsonObject replyObject(const Net::Response& response, const QString& service) {
    if (response.status < 200 || response.status > 299) {
        throw Problem::apiChanged(service + QStringLiteral("返回 HTTP ") +
                                  QString::number(response.status));
    }
    const QJsonDocument document = QJsonDocument::fromJson(response.body);
    if (!document.isObject())
        throw Problem::apiChanged(service + QStringLiteral("返回的不是 JSON"));
    return document.object();
}

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

std::optional<QDateTime> epochTime(const QJsonValue& value, int unitsPerSecond) {
    if (!value.isDouble()) return std::nullopt;
    // The first and the last millisecond of the years 1 to 9999, UTC.
    constexpr double kEarliestMs = -62135596800000.0;
    constexpr double kLatestMs = 253402300799999.0;
    const double milliseconds = value.toDouble() * (1000.0 / unitsPerSecond);
    if (!std::isfinite(milliseconds) || milliseconds < kEarliestMs || milliseconds > kLatestMs) {
        return std::nullopt;
    }
    return QDateTime::fromMSecsSinceEpoch(qint64(milliseconds), Qt::UTC);
}

}  // namespace JsonReading
