#pragma once

#include "osutils/browser_support.h"

namespace OsUtils {

// Browsers as Debian and its relatives install them (packages, the vendors' own packages, snaps,
// flatpaks), found by their profile folders in the home. The Chromium-based ones keep their
// cookie key in the desktop's keyring; Firefox encrypts nothing, so no keyring is ever asked.
class LinuxBrowserSupport final : public BrowserSupport {
public:
    using BrowserSupport::BrowserSupport;
    QStringList appPaths(QStringView browser) const override;
    QString cookieKeyPrompt(QStringView browser) const override;
};

}  // namespace OsUtils
