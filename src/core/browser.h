#pragma once

#include "osutils/osutils.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The browsers whose cookies yt-dlp may read for a site that refuses anonymous downloads.
class Browser {
public:
    enum Case : quint8 { chrome, chromium, brave, edge, vivaldi, opera, firefox, safari };

    constexpr Browser(Case value) : m_case(value) {}  // NOLINT: a Browser is its case
    constexpr Case value() const { return m_case; }
    constexpr operator Case() const { return m_case; }  // NOLINT: allows switch and ==

    QString rawValue() const;  // passed to yt-dlp
    QString name() const;      // shown to the user
    // What yt-dlp's --cookies-from-browser takes: the raw value, and where the only profile is
    // one yt-dlp does not look in by itself (a snap's, a flatpak's), ":" and that folder.
    QString cookieSource(const OsUtils::BrowserSupport& system = OsUtils::browserSupport()) const;
    // Where an installed copy is found on the given system (none where the browser never runs).
    QStringList appPaths(const OsUtils::BrowserSupport& system = OsUtils::browserSupport()) const;

    static std::optional<Browser> fromRawValue(QStringView raw);
    static const QList<Browser>& allCases();
    // The browsers found on disk, in case order; looked up afresh on every call.
    static QList<Browser> installed(
        const OsUtils::BrowserSupport& system = OsUtils::browserSupport());
    // The first installed browser; none when no browser is installed, so that no remedy ever
    // stores a browser whose cookies cannot be read.
    static std::optional<Browser> suggested(
        const OsUtils::BrowserSupport& system = OsUtils::browserSupport());
    // The remembered choice, settings key "cookieBrowser"; nullopt removes the entry.
    static std::optional<Browser> preferred();
    static void setPreferred(std::optional<Browser> browser);

private:
    Case m_case;
};
