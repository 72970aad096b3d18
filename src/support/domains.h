#pragma once

#include <QLatin1StringView>
#include <QStringView>

// True when `host` is `domain` itself or one of its subdomains: equal, or ending with "." and
// the domain. A look-alike such as "nottencent.com" never belongs to "tencent.com".
bool hostBelongsTo(QStringView host, QStringView domain,
                   Qt::CaseSensitivity sensitivity = Qt::CaseSensitive);
bool hostBelongsTo(QStringView host, QLatin1StringView domain,
                   Qt::CaseSensitivity sensitivity = Qt::CaseSensitive);
