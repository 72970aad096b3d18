#pragma once

#include <QJsonValue>
#include <QString>

#include <optional>

// Lenient readers for the members of the services' JSON replies: each gives nothing when the
// member is missing or of another kind, so every caller decides what an absence means.
namespace JsonReading {

// A number with no fractional part, as the services send codes and types.
std::optional<qint64> integer(const QJsonValue& value);
std::optional<QString> text(const QJsonValue& value);

}  // namespace JsonReading
