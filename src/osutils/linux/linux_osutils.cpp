#include "osutils/linux/linux_browser_support.h"
#include "osutils/linux/linux_file_manager.h"
#include "osutils/linux/linux_proxy_store.h"
#include "osutils/linux/linux_settings_panes.h"
#include "osutils/linux/linux_trust_store.h"
#include "osutils/osutils.h"

namespace OsUtils {

ProxyStore& proxyStore() {
    static LinuxProxyStore store;
    return store;
}

TrustStore& trustStore() {
    static LinuxTrustStore store;
    return store;
}

const SettingsPanes& settingsPanes() {
    static const LinuxSettingsPanes panes;
    return panes;
}

const BrowserSupport& browserSupport() {
    static const LinuxBrowserSupport browsers;
    return browsers;
}

const FileManager& fileManager() {
    static const LinuxFileManager manager;
    return manager;
}

}  // namespace OsUtils
