#include "osutils/linux/linux_browser_support.h"

#include <QDir>

namespace OsUtils {

namespace {

// A Chromium-based browser's profile folder under ~/.config, and the snap and flatpak names
// that keep their own copy of it.
QStringList chromiumPlaces(const QString& config, const QString& snap, const QString& flatpak) {
    const QString home = QDir::homePath();
    return {home + QStringLiteral("/.config/") + config,
            home + QStringLiteral("/snap/") + snap + QStringLiteral("/current/.config/") + config,
            home + QStringLiteral("/snap/") + snap + QStringLiteral("/common/") + config,
            home + QStringLiteral("/.var/app/") + flatpak + QStringLiteral("/config/") + config};
}

}  // namespace

// A browser counts as installed where it keeps a profile: that folder is what yt-dlp reads the
// cookies from, so a binary that never ran (or a profile left by a removed package) is judged
// by the one thing that matters.
QStringList LinuxBrowserSupport::appPaths(QStringView browser) const {
    if (browser == u"chrome") {
        return chromiumPlaces(QStringLiteral("google-chrome"), QStringLiteral("google-chrome"),
                              QStringLiteral("com.google.Chrome"));
    }
    if (browser == u"chromium") {
        return chromiumPlaces(QStringLiteral("chromium"), QStringLiteral("chromium"),
                              QStringLiteral("org.chromium.Chromium"));
    }
    if (browser == u"brave") {
        return chromiumPlaces(QStringLiteral("BraveSoftware/Brave-Browser"),
                              QStringLiteral("brave"), QStringLiteral("com.brave.Browser"));
    }
    if (browser == u"edge") {
        return chromiumPlaces(QStringLiteral("microsoft-edge"), QStringLiteral("microsoft-edge"),
                              QStringLiteral("com.microsoft.Edge"));
    }
    if (browser == u"vivaldi") {
        return chromiumPlaces(QStringLiteral("vivaldi"), QStringLiteral("vivaldi"),
                              QStringLiteral("com.vivaldi.Vivaldi"));
    }
    if (browser == u"opera") {
        return chromiumPlaces(QStringLiteral("opera"), QStringLiteral("opera"),
                              QStringLiteral("com.opera.Opera"));
    }
    if (browser == u"firefox") {
        const QString home = QDir::homePath();
        return {home + QStringLiteral("/.mozilla/firefox"),
                home + QStringLiteral("/snap/firefox/common/.mozilla/firefox"),
                home + QStringLiteral("/.var/app/org.mozilla.firefox/.mozilla/firefox")};
    }
    return {};  // Safari never runs on Linux
}

QString LinuxBrowserSupport::cookieKeyPrompt(QStringView browser) const {
    // Every Chromium-based browser keeps its cookie key in the desktop's keyring.
    if (browser != u"firefox" && browser != u"safari" && !appPaths(browser).isEmpty()) {
        return QStringLiteral("系统弹出解锁密钥环的窗口时，请输入登录密码并允许。");
    }
    return {};
}

}  // namespace OsUtils
