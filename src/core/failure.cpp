#include "core/failure.h"

#include <QHashFunctions>

QString Failure::Action::key() const {
    switch (m_kind) {
        case retry:
            return QStringLiteral("retry");
        case loginYuanbao:
            return QStringLiteral("loginYuanbao");
        case useBrowserCookies:
            return QStringLiteral("useBrowserCookies:") +
                   (m_browser ? m_browser->rawValue() : QString());
        case openDesktopPrivacy:
            return QStringLiteral("openDesktopPrivacy");
        case openFullDiskAccess:
            return QStringLiteral("openFullDiskAccess");
        case updateTools:
            return QStringLiteral("updateTools");
        case copyInstallCommand:
            return QStringLiteral("copyInstallCommand");
        case openLogs:
            return QStringLiteral("openLogs");
        case forgetBrowserCookies:
            return QStringLiteral("forgetBrowserCookies");
        case openLink:
            return QStringLiteral("openLink");
    }
    return {};
}

Failure Failure::cancelled() {
    return Failure{QStringLiteral("已取消"), QString(), {}, true};
}

size_t qHash(const Failure::Action& action, size_t seed) {
    return qHashMulti(seed, int(action.kind()),
                      action.browser() ? int(action.browser()->value()) : -1);
}
