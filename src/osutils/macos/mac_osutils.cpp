#include "osutils/macos/mac_browser_support.h"
#include "osutils/macos/mac_file_manager.h"
#include "osutils/macos/mac_proxy_store.h"
#include "osutils/macos/mac_settings_panes.h"
#include "osutils/macos/mac_trust_store.h"
#include "osutils/osutils.h"

namespace OsUtils {

ProxyStore& proxyStore() {
    static MacProxyStore store;
    return store;
}

TrustStore& trustStore() {
    static MacTrustStore store;
    return store;
}

const SettingsPanes& settingsPanes() {
    static const MacSettingsPanes panes;
    return panes;
}

const BrowserSupport& browserSupport() {
    static const MacBrowserSupport browsers;
    return browsers;
}

const FileManager& fileManager() {
    static const MacFileManager manager;
    return manager;
}

}  // namespace OsUtils
