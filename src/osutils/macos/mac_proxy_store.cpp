#include "osutils/macos/mac_proxy_store.h"

#include "support/shell.h"

#include <CoreFoundation/CoreFoundation.h>
#include <SystemConfiguration/SystemConfiguration.h>

#include <utility>

namespace OsUtils {

MacProxyStore::MacProxyStore(QString networksetup) : m_networksetup(std::move(networksetup)) {}

std::optional<QString> MacProxyStore::autoProxyURL(const QString& serviceID) const {
    SCDynamicStoreRef store = SCDynamicStoreCreate(nullptr, CFSTR("Quorvin"), nullptr, nullptr);
    if (!store) return std::nullopt;
    const QString key =
        QStringLiteral("Setup:/Network/Service/") + serviceID + QStringLiteral("/Proxies");
    CFStringRef cfKey = key.toCFString();
    CFPropertyListRef value = SCDynamicStoreCopyValue(store, cfKey);
    CFRelease(cfKey);
    CFRelease(store);
    if (!value) return std::nullopt;

    std::optional<QString> url;
    if (CFGetTypeID(value) == CFDictionaryGetTypeID()) {
        const void* entry = CFDictionaryGetValue(static_cast<CFDictionaryRef>(value),
                                                 CFSTR("ProxyAutoConfigURLString"));
        // A dictionary without a text address still counts as settings: with no address.
        url = entry && CFGetTypeID(entry) == CFStringGetTypeID()
                  ? QString::fromCFString(static_cast<CFStringRef>(entry))
                  : QString();
    }
    CFRelease(value);
    return url;
}

void MacProxyStore::setAutoProxyURL(const QString& serviceName, const QString& url) {
    Shell::run(m_networksetup, {QStringLiteral("-setautoproxyurl"), serviceName, url});
}

void MacProxyStore::setAutoProxyEnabled(const QString& serviceName, bool enabled) {
    Shell::run(m_networksetup, {QStringLiteral("-setautoproxystate"), serviceName,
                                enabled ? QStringLiteral("on") : QStringLiteral("off")});
}

}  // namespace OsUtils
