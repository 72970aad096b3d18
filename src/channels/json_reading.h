#pragma once

#include "net/net_response.h"

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

// Lenient readers for the members of the services' JSON replies: each gives nothing when the
// member is missing or of another kind, so every caller decides what an absence means.
namespace JsonReading {

// A number with no fractional part, as the services send codes and types.
std::optional<qint64> integer(const QJsonValue& value);
std::optional<QString> text(const QJsonValue& value);

// The reply's body as a JSON object. A status outside 2xx or a body that is not a JSON object
// means the service changed: Problem::apiChanged, naming `service` ("元宝", "视频号").
QJsonObject replyObject(const Net::Response& response, const QString& service);

// A number of `unit`s (1 for seconds, 1000 for milliseconds) since 1970 as a UTC time, or
// nothing when it is not a finite number or falls outside the years 1 to 9999: a value out of
// that range cannot be converted without overflow and names no real moment.
std::optional<QDateTime> epochTime(const QJsonValue& value, int unitsPerSecond);

}  // namespace JsonReading
