#pragma once

#include "osutils/browser_support.h"

namespace OsUtils {

// Browsers live as application bundles in the Applications folder (the bundle folder counts as
// installed). Reading any browser's cookies may make the keychain ask for its consent.
class MacBrowserSupport final : public BrowserSupport {
public:
    using BrowserSupport::BrowserSupport;
    QStringList appPaths(QStringView browser) const override;
    QString cookieKeyPrompt(QStringView browser) const override;
};

}  // namespace OsUtils
