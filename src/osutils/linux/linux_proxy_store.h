#pragma once

#include "osutils/proxy_store.h"

namespace OsUtils {

// A Linux desktop keeps no per-service automatic proxy that the previous edition (which ran on
// another system) could have set: nothing is found, so nothing is ever restored.
class LinuxProxyStore final : public ProxyStore {
public:
    std::optional<QString> autoProxyURL(const QString&) const override { return std::nullopt; }
    void setAutoProxyURL(const QString&, const QString&) override {}
    void setAutoProxyEnabled(const QString&, bool) override {}
};

}  // namespace OsUtils
