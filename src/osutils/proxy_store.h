#pragma once

#include <QString>

#include <optional>

namespace OsUtils {

// The system's automatic proxy setting per network service, where the previous edition pointed
// the active service at its own engine. Only a system that keeps such settings finds anything.
class ProxyStore {
public:
    virtual ~ProxyStore() = default;
    // The automatic proxy address the service is set to: nullopt when the system keeps no proxy
    // settings for the service, an empty text when those settings name no address.
    virtual std::optional<QString> autoProxyURL(const QString& serviceID) const = 0;
    // The service is named as the user sees it. Results are not reported: the clean-up that
    // calls these is best effort.
    virtual void setAutoProxyURL(const QString& serviceName, const QString& url) = 0;
    virtual void setAutoProxyEnabled(const QString& serviceName, bool enabled) = 0;
};

}  // namespace OsUtils
