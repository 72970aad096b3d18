#include "core/browser.h"

#include "support/settings.h"

#include <QFileInfo>

namespace {

QString& installRoot() {
    static QString root;
    return root;
}

}  // namespace

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

QStringList Browser::appPaths() const {
    switch (m_case) {
        case chrome:
            return {QStringLiteral("/opt/google/chrome/chrome"),
                    QStringLiteral("/usr/bin/google-chrome"),
                    QStringLiteral("/usr/bin/google-chrome-stable")};
        case edge:
            return {QStringLiteral("/opt/microsoft/msedge/msedge"),
                    QStringLiteral("/usr/bin/microsoft-edge"),
                    QStringLiteral("/usr/bin/microsoft-edge-stable")};
        case firefox:
            return {QStringLiteral("/usr/bin/firefox"), QStringLiteral("/usr/bin/firefox-esr"),
                    QStringLiteral("/usr/lib/firefox/firefox"),
                    QStringLiteral("/usr/lib/firefox-esr/firefox-esr"),
                    QStringLiteral("/snap/bin/firefox")};
        case safari:
            return {};  // Safari never runs on Linux
    }
    return {};
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

QList<Browser> Browser::installed() {
    QList<Browser> found;
    for (Browser browser : allCases()) {
        for (const QString& path : browser.appPaths()) {
            if (QFileInfo::exists(installRoot() + path)) {
                found.append(browser);
                break;
            }
        }
    }
    return found;
}

Browser Browser::suggested() {
    const QList<Browser> list = installed();
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

void Browser::setInstallRootForTesting(const QString& root) {
    installRoot() = root;
}
