#include "common/test_support.h"
#include "core/browser.h"
#include "core/failure.h"
#include "osutils/linux/linux_browser_support.h"
#include "support/settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QSet>

TEST(Browser, RawValuesAndNames) {
    // The raw values are yt-dlp's --cookies-from-browser names, and what "cookieBrowser" keeps.
    QStringList raws;
    for (Browser browser : Browser::allCases()) raws << browser.rawValue();
    EXPECT_EQ(raws, (QStringList{"chrome", "chromium", "brave", "edge", "vivaldi", "opera",
                                 "firefox", "safari"}));
    EXPECT_EQ(Browser(Browser::edge).name(), QStringLiteral("Edge"));
    EXPECT_EQ(Browser(Browser::brave).name(), QStringLiteral("Brave"));
    EXPECT_EQ(Browser::fromRawValue(u"firefox"), Browser(Browser::firefox));
    EXPECT_EQ(Browser::fromRawValue(u"vivaldi"), Browser(Browser::vivaldi));
    EXPECT_FALSE(Browser::fromRawValue(u"Chrome").has_value());
    EXPECT_TRUE(Browser(Browser::safari).appPaths().isEmpty());
}

// Browsers are found by the profile folders yt-dlp reads, in the home, the snaps and flatpaks;
// a program file alone (or nothing at all) offers no browser.
TEST(Browser, InstalledMeansAProfileFolder) {
    const OsUtils::LinuxBrowserSupport system;
    const QString home = QDir::homePath();
    ASSERT_EQ(home, TestSupport::home());
    EXPECT_TRUE(Browser::installed(system).isEmpty());
    EXPECT_FALSE(Browser::suggested(system).has_value());
    TestSupport::writeFile(home + QStringLiteral("/root/usr/bin/google-chrome"), "#!/bin/sh\n");
    EXPECT_TRUE(Browser::installed(OsUtils::LinuxBrowserSupport(home + "/root")).isEmpty());

    const auto place = [&](const char* folder) { QDir().mkpath(home + u'/' + folder); };
    place(".var/app/org.mozilla.firefox/.mozilla/firefox");
    place("snap/chromium/common/chromium");
    EXPECT_EQ(Browser::installed(system), (QList<Browser>{Browser::chromium, Browser::firefox}));
    EXPECT_EQ(Browser::suggested(system), Browser::chromium);
    // yt-dlp looks for Chromium's cookies in ~/.config only: the snap's folder is named to it.
    EXPECT_EQ(
        Browser(Browser::chromium).cookieSource(system),
        QStringLiteral("chromium:") + home + QStringLiteral("/snap/chromium/common/chromium"));
    place(".config/google-chrome");
    place(".config/BraveSoftware/Brave-Browser");
    place(".var/app/com.microsoft.Edge/config/microsoft-edge");
    place("snap/vivaldi/current/.config/vivaldi");
    place(".config/opera");
    EXPECT_EQ(Browser::installed(system),
              (QList<Browser>{Browser::chrome, Browser::chromium, Browser::brave, Browser::edge,
                              Browser::vivaldi, Browser::opera, Browser::firefox}));
    EXPECT_EQ(Browser::suggested(system), Browser::chrome);
    EXPECT_EQ(Browser(Browser::chrome).cookieSource(system), QStringLiteral("chrome"));
    for (const char* folder :
         {".var", "snap", ".config/google-chrome", ".config/BraveSoftware", ".config/opera"}) {
        QDir(home + u'/' + folder).removeRecursively();  // the next test finds a bare home
    }
}

TEST(Browser, PreferredIsRememberedUnderCookieBrowser) {
    EXPECT_FALSE(Browser::preferred().has_value());
    Browser::setPreferred(Browser(Browser::firefox));
    EXPECT_EQ(Browser::preferred(), Browser(Browser::firefox));
    EXPECT_EQ(Settings::value(QStringLiteral("cookieBrowser")).toString(),
              QStringLiteral("firefox"));
    Settings::setValue(QStringLiteral("cookieBrowser"), QStringLiteral("Chrome"));
    EXPECT_FALSE(Browser::preferred().has_value());
    Browser::setPreferred(std::nullopt);
    EXPECT_FALSE(Settings::value(QStringLiteral("cookieBrowser")).isValid());
}

TEST(Failure, CancelledAndActionEquality) {
    const Failure cancelled = Failure::cancelled();
    EXPECT_TRUE(cancelled.isCancel);
    EXPECT_EQ(cancelled.title, QStringLiteral("已取消"));
    EXPECT_TRUE(cancelled.advice.isEmpty());
    EXPECT_TRUE(cancelled.actions.isEmpty());
    using Action = Failure::Action;
    EXPECT_EQ(Action::browserCookies(Browser::chrome), Action::browserCookies(Browser::chrome));
    EXPECT_NE(Action::browserCookies(Browser::chrome), Action::browserCookies(Browser::safari));
    EXPECT_NE(Action::browserCookies(Browser::chrome), Action(Action::retry));
    // Hash and equality agree: equal actions built apart collapse in a set, different ones stay.
    const QSet<Action> actions = {
        Action::browserCookies(Browser::edge), Action::browserCookies(Browser::edge),
        Action::browserCookies(Browser::chrome), Action(Action::retry), Action(Action::retry)};
    EXPECT_EQ(actions.size(), 3);
    EXPECT_TRUE(actions.contains(Action::browserCookies(Browser::chrome)));
    EXPECT_FALSE(actions.contains(Action::browserCookies(Browser::firefox)));
    EXPECT_EQ(Action::browserCookies(Browser::edge).key(),
              QStringLiteral("useBrowserCookies:edge"));
    EXPECT_EQ(Action(Action::openFullDiskAccess).key(), QStringLiteral("openFullDiskAccess"));
    EXPECT_EQ(Action(Action::forgetBrowserCookies).key(), QStringLiteral("forgetBrowserCookies"));
    EXPECT_FALSE(Action(Action::forgetBrowserCookies).browser().has_value());
    EXPECT_EQ(Action(Action::openLink).key(), QStringLiteral("openLink"));
}
