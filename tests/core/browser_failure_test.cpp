#include "common/test_support.h"
#include "core/browser.h"
#include "core/failure.h"
#include "osutils/linux/linux_browser_support.h"
#include "support/settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QSet>

TEST(Browser, RawValuesAndNames) {
    ASSERT_EQ(Browser::allCases().size(), 4);
    EXPECT_EQ(Browser(Browser::chrome).rawValue(), QStringLiteral("chrome"));
    EXPECT_EQ(Browser(Browser::edge).name(), QStringLiteral("Edge"));
    EXPECT_EQ(Browser::fromRawValue(u"firefox"), Browser(Browser::firefox));
    EXPECT_FALSE(Browser::fromRawValue(u"Chrome").has_value());
    EXPECT_TRUE(Browser(Browser::safari).appPaths().isEmpty());
}

TEST(Browser, InstalledAndSuggested) {
    const QString root = TestSupport::home() + QStringLiteral("/root");
    const OsUtils::LinuxBrowserSupport system(root);
    EXPECT_TRUE(Browser::installed(system).isEmpty());
    EXPECT_EQ(Browser::suggested(system), Browser::chrome);
    TestSupport::writeFile(root + QStringLiteral("/usr/bin/firefox"), "#!/bin/sh\n");
    TestSupport::writeFile(root + QStringLiteral("/opt/microsoft/msedge/msedge"), "");
    EXPECT_EQ(Browser::installed(system), (QList<Browser>{Browser::edge, Browser::firefox}));
    EXPECT_EQ(Browser::suggested(system), Browser::edge);
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
}
