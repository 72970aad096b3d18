#include "core/browser.h"

#include "support/settings.h"

QString Browser::rawValue() const {
    switch (m_case) {
        case chrome:
            return QStringLiteral("chrome");
        case edge:
            return QStringLiteral("edge");
        case firefox:
            return QStringLiteral("firefox");
        case safari:
            return QStringLiteral("safari");
    }
    return {};
}

QString Browser::name() const {
    switch (m_case) {
        case chrome:
            return QStringLiteral("Chrome");
        case edge:
            return QStringLiteral("Edge");
        case firefox:
            return QStringLiteral("Firefox");
        case safari:
            return QStringLiteral("Safari");
    }
    return {};
}

QStringList Browser::appPaths(const OsUtils::BrowserSupport& system) const {
    return system.appPaths(rawValue());
}

std::optional<Browser> Browser::fromRawValue(QStringView raw) {
    for (Browser browser : allCases()) {
        if (raw == browser.rawValue()) return browser;
    }
    return std::nullopt;
}

const QList<Browser>& Browser::allCases() {
    static const QList<Browser> cases = {chrome, edge, firefox, safari};
    return cases;
}

QList<Browser> Browser::installed(const OsUtils::BrowserSupport& system) {
    QList<Browser> found;
    for (Browser browser : allCases()) {
        if (system.isInstalled(browser.rawValue())) found.append(browser);
    }
    return found;
}

Browser Browser::suggested(const OsUtils::BrowserSupport& system) {
    const QList<Browser> list = installed(system);
    return list.isEmpty() ? Browser(chrome) : list.first();
}

std::optional<Browser> Browser::preferred() {
    const std::optional<QString> raw = Settings::cookieBrowser();
    if (!raw) return std::nullopt;
    return fromRawValue(*raw);
}

void Browser::setPreferred(std::optional<Browser> browser) {
    Settings::setCookieBrowser(browser ? std::optional<QString>(browser->rawValue())
                                       : std::nullopt);
}
