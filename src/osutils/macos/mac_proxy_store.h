#pragma once

#include "osutils/proxy_store.h"

namespace OsUtils {

// The network services' proxy settings in the system configuration store, read through the
// store's own interface and changed with networksetup (the store is not written directly: only
// networksetup keeps the user's locations consistent).
class MacProxyStore final : public ProxyStore {
public:
    explicit MacProxyStore(QString networksetup = QStringLiteral("/usr/sbin/networksetup"));
    std::optional<QString> autoProxyURL(const QString& serviceID) const override;
    void setAutoProxyURL(const QString& serviceName, const QString& url) override;
    void setAutoProxyEnabled(const QString& serviceName, bool enabled) override;

private:
    QString m_networksetup;
};

}  // namespace OsUtils
