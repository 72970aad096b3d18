#pragma once

#include <QString>
#include <QVariant>

// The user's settings ("cookieBrowser", "yuanbaoEverLoggedIn", "welcomed2",
// "skipOldCertPrompt"), kept in ~/.config/Quorvin/Quorvin.conf. Every call goes to the file, so
// the tray app and the command line see each other's changes.
namespace Settings {

QVariant value(const QString& key);
bool boolValue(const QString& key);  // false when absent
void setValue(const QString& key, const QVariant& value);
void remove(const QString& key);

}  // namespace Settings
