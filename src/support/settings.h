#pragma once

#include <QString>
#include <QVariant>

#include <optional>

// The user's settings, kept in ~/.config/Quorvin/Quorvin.conf. Every call goes to the file, so
// the tray app and the command line see each other's changes.
namespace Settings {

// The four keys, typed. The stored keys and values are those of earlier editions, so a user's
// choices survive an update.

// "cookieBrowser": the raw value of the browser whose cookies yt-dlp borrows; nullopt when
// none is remembered, and setting nullopt removes the entry.
std::optional<QString> cookieBrowser();
void setCookieBrowser(const std::optional<QString>& rawValue);

// "yuanbaoEverLoggedIn": tells an expired Yuanbao login from one that never existed.
bool yuanbaoEverLoggedIn();
void setYuanbaoEverLoggedIn(bool value);

// "welcomed2" (the key of an earlier edition): the panel has opened by itself on the first run.
bool firstRunShown();
void setFirstRunShown(bool value);

// "skipOldCertPrompt": the user declined removing the previous edition's certificate.
bool skipOldCertPrompt();
void setSkipOldCertPrompt(bool value);

// "notifyWhenDone": tell the user through the desktop's notifications when downloads end while
// the panel is hidden; on unless turned off.
bool notifyWhenDone();
void setNotifyWhenDone(bool value);

// Untyped access by key, for tests and tools that inspect the file as it is stored.
QVariant value(const QString& key);
bool boolValue(const QString& key);  // false when absent
void setValue(const QString& key, const QVariant& value);
void remove(const QString& key);

}  // namespace Settings
