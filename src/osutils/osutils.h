#pragma once

#include "osutils/browser_support.h"
#include "osutils/file_manager.h"
#include "osutils/proxy_store.h"
#include "osutils/settings_panes.h"
#include "osutils/trust_store.h"

// What differs between the systems Quorvin runs on, one interface per concern. Each system has
// its own side in a folder of its own (linux/, macos/); the build compiles only the side of the
// system it builds for, and these return that side's one instance. Tests construct their own.
namespace OsUtils {

ProxyStore& proxyStore();
TrustStore& trustStore();
const SettingsPanes& settingsPanes();
const BrowserSupport& browserSupport();
const FileManager& fileManager();

}  // namespace OsUtils
