#include "core/browser.h"

#include "support/settings.h"

#include <QFileInfo>

QString Browser::rawValue() const {
    switch (m_case) {
        case chrome:
            return QStringLiteral("chrome");
        case chromium:
            return QStringLiteral("chromium");
        case brave:
            return QStringLiteral("brave");
        case edge:
            return QStringLiteral("edge");
        case vivaldi:
            return QStringLiteral("vivaldi");
        case opera:
            return QStringLiteral("opera");
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
        case chromium:
            return QStringLiteral("Chromium");
        case brave:
            return QStringLiteral("Brave");
        case edge:
            return QStringLiteral("Edge");
        case vivaldi:
            return QStringLiteral("Vivaldi");
        case opera:
            return QStringLiteral("Opera");
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

QString Browser::cookieSource(const OsUtils::BrowserSupport& system) const {
    // The first place is the one yt-dlp reads by default.
    const QStringList places = system.appPaths(rawValue());
    if (places.isEmpty() || QFileInfo::exists(places.first())) return rawValue();
    for (const QString& place : places) {
        if (QFileInfo::exists(place)) return rawValue() + u':' + place;
    }
    return rawValue();
}

std::optional<Browser> Browser::fromRawValue(QStringView raw) {
    for (Browser browser : allCases()) {
        if (raw == browser.rawValue()) return browser;
    }
    return std::nullopt;
}

const QList<Browser>& Browser::allCases() {
    static const QList<Browser> cases = {chrome,  chromium, brave,   edge,
                                         vivaldi, opera,    firefox, safari};
    return cases;
}

QList<Browser> Browser::installed(const OsUtils::BrowserSupport& system) {
    QList<Browser> found;
    for (Browser browser : allCases()) {
        if (system.isInstalled(browser.rawValue())) found.append(browser);
    }
    return found;
}

std::optional<Browser> Browser::suggested(const OsUtils::BrowserSupport& system) {
    const QList<Browser> list = installed(system);
    if (list.isEmpty()) return std::nullopt;
    return list.first();
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
