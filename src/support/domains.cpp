#include "support/domains.h"

namespace {

template <typename Domain>
bool belongs(QStringView host, Domain domain, Qt::CaseSensitivity sensitivity) {
    if (host.compare(domain, sensitivity) == 0) return true;
    return host.size() > domain.size() && host.endsWith(domain, sensitivity) &&
           host[host.size() - domain.size() - 1] == QLatin1Char('.');
}

}  // namespace

bool hostBelongsTo(QStringView host, QStringView domain, Qt::CaseSensitivity sensitivity) {
    return belongs(host, domain, sensitivity);
}

bool hostBelongsTo(QStringView host, QLatin1StringView domain, Qt::CaseSensitivity sensitivity) {
    return belongs(host, domain, sensitivity);
}
