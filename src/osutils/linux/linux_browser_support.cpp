#include "osutils/linux/linux_browser_support.h"

namespace OsUtils {

QStringList LinuxBrowserSupport::appPaths(QStringView browser) const {
    if (browser == u"chrome") {
        return {QStringLiteral("/opt/google/chrome/chrome"),
                QStringLiteral("/usr/bin/google-chrome"),
                QStringLiteral("/usr/bin/google-chrome-stable")};
    }
    if (browser == u"edge") {
        return {QStringLiteral("/opt/microsoft/msedge/msedge"),
                QStringLiteral("/usr/bin/microsoft-edge"),
                QStringLiteral("/usr/bin/microsoft-edge-stable")};
    }
    if (browser == u"firefox") {
        return {QStringLiteral("/usr/bin/firefox"), QStringLiteral("/usr/bin/firefox-esr"),
                QStringLiteral("/usr/lib/firefox/firefox"),
                QStringLiteral("/usr/lib/firefox-esr/firefox-esr"),
                QStringLiteral("/snap/bin/firefox")};
    }
    return {};  // Safari never runs on Linux
}

QString LinuxBrowserSupport::cookieKeyPrompt(QStringView browser) const {
    if (browser == u"chrome" || browser == u"edge") {
        return QStringLiteral("系统弹出解锁密钥环的窗口时，请输入登录密码并允许。");
    }
    return {};
}

}  // namespace OsUtils
