#include "channels/channels_fixture.h"

#include "common/service_server.h"

namespace ChannelsTest {

HttpTestServer& server() {
    return serviceServer();
}

namespace {
// Before main(): no test can read an origin before the override is in place.
[[maybe_unused]] const bool kServerStarted = (server(), true);
}  // namespace

QNetworkCookie cookie(const QByteArray& name, const QByteArray& value, const QString& domain,
                      std::optional<QDateTime> expires) {
    QNetworkCookie made(name, value);
    made.setDomain(domain);
    made.setPath(QStringLiteral("/"));
    if (expires) made.setExpirationDate(*expires);
    return made;
}

}  // namespace ChannelsTest
