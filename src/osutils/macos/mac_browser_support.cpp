#include "osutils/macos/mac_browser_support.h"

namespace OsUtils {

QStringList MacBrowserSupport::appPaths(QStringView browser) const {
    if (browser == u"chrome") return {QStringLiteral("/Applications/Google Chrome.app")};
    if (browser == u"edge") return {QStringLiteral("/Applications/Microsoft Edge.app")};
    if (browser == u"firefox") return {QStringLiteral("/Applications/Firefox.app")};
    if (browser == u"safari") return {QStringLiteral("/Applications/Safari.app")};
    return {};
}

QString MacBrowserSupport::cookieKeyPrompt(QStringView) const {
    return QStringLiteral("macOS 弹出钥匙串窗口时，请点「始终允许」。");
}

}  // namespace OsUtils
