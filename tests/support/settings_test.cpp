#include "support/settings.h"
#include "common/test_support.h"

#include <gtest/gtest.h>

#include <QSettings>

namespace {

// The file as any other reader (an earlier edition, the tray app) sees it.
QVariant stored(const QString& key) {
    QSettings file(TestSupport::home() + QStringLiteral("/.config/Quorvin/Quorvin.conf"),
                   QSettings::IniFormat);
    return file.value(key);
}

}  // namespace

TEST(Settings, TypedAccessorsKeepTheStoredKeysAndValues) {
    EXPECT_FALSE(Settings::firstRunShown());
    EXPECT_FALSE(Settings::skipOldCertPrompt());
    EXPECT_FALSE(Settings::yuanbaoEverLoggedIn());
    EXPECT_EQ(Settings::cookieBrowser(), std::nullopt);

    Settings::setFirstRunShown(true);
    Settings::setSkipOldCertPrompt(true);
    Settings::setYuanbaoEverLoggedIn(true);
    Settings::setCookieBrowser(QStringLiteral("firefox"));
    EXPECT_TRUE(Settings::firstRunShown());
    EXPECT_TRUE(Settings::skipOldCertPrompt());
    EXPECT_TRUE(Settings::yuanbaoEverLoggedIn());
    EXPECT_EQ(Settings::cookieBrowser(), QStringLiteral("firefox"));
    EXPECT_EQ(stored(QStringLiteral("welcomed2")).toBool(), true);
    EXPECT_EQ(stored(QStringLiteral("skipOldCertPrompt")).toBool(), true);
    EXPECT_EQ(stored(QStringLiteral("yuanbaoEverLoggedIn")).toBool(), true);
    EXPECT_EQ(stored(QStringLiteral("cookieBrowser")).toString(), QStringLiteral("firefox"));

    // Clearing one leaves the others; no browser removes the entry rather than storing "".
    Settings::setFirstRunShown(false);
    Settings::setCookieBrowser(std::nullopt);
    EXPECT_FALSE(Settings::firstRunShown());
    EXPECT_TRUE(Settings::skipOldCertPrompt());
    EXPECT_FALSE(stored(QStringLiteral("cookieBrowser")).isValid());
    EXPECT_EQ(Settings::cookieBrowser(), std::nullopt);
}
