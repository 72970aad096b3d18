#include "channels/origin.h"

#include <QUrl>

namespace Origin {

QString fromEnvironment(const char* variable, const QString& fallback) {
    QString value = qEnvironmentVariable(variable).trimmed();
    if (value.endsWith(QLatin1Char('/'))) value.chop(1);
    if (value.isEmpty()) return fallback;
    const QUrl url(value, QUrl::StrictMode);
    // A half-valid override would quietly send requests (and the login cookies) somewhere
    // unintended, so anything but a plain origin is ignored.
    const bool plainOrigin = url.isValid() && !url.host().isEmpty() &&
                             (url.scheme() == u"http" || url.scheme() == u"https") &&
                             url.path().isEmpty() && !url.hasQuery() && !url.hasFragment() &&
                             url.userInfo().isEmpty();
    return plainOrigin ? value : fallback;
}

}  // namespace Origin
