#pragma once

#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <utility>

namespace OsUtils {

// How this system keeps the browsers whose cookies yt-dlp may read. Browsers are named by the
// value yt-dlp takes ("chrome", "chromium", "brave", "edge", "vivaldi", "opera", "firefox",
// "safari").
class BrowserSupport {
public:
    // `root` puts the file system root of the installed check elsewhere ("" is the real root).
    explicit BrowserSupport(QString root = {}) : m_root(std::move(root)) {}
    virtual ~BrowserSupport() = default;

    // Where an installed copy is found (on Linux its profile folders); none for a browser that
    // never runs here.
    virtual QStringList appPaths(QStringView browser) const = 0;
    // What to do when the system asks to unlock the store that guards the browser's cookie key,
    // said before the general advice; empty when no such store guards its cookies.
    virtual QString cookieKeyPrompt(QStringView browser) const = 0;

    bool isInstalled(QStringView browser) const {
        for (const QString& path : appPaths(browser)) {
            if (QFileInfo::exists(m_root + path)) return true;
        }
        return false;
    }

private:
    QString m_root;
};

}  // namespace OsUtils
