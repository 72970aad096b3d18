#pragma once

#include <QLatin1StringView>
#include <QStringList>
#include <QStringView>

#include <initializer_list>

// True when `text` contains at least one of `needles`.
bool containsAny(QStringView text, std::initializer_list<QLatin1StringView> needles,
                 Qt::CaseSensitivity sensitivity = Qt::CaseSensitive);
bool containsAny(QStringView text, const QStringList& needles,
                 Qt::CaseSensitivity sensitivity = Qt::CaseSensitive);
