#include "support/settings.h"

#include "support/names.h"

#include <QMutex>
#include <QSettings>

namespace {

QMutex& settingsMutex() {
    static QMutex mutex;
    return mutex;
}

const QString kCookieBrowser = QStringLiteral("cookieBrowser");
const QString kYuanbaoEverLoggedIn = QStringLiteral("yuanbaoEverLoggedIn");
const QString kFirstRunShown = QStringLiteral("welcomed2");
const QString kSkipOldCertPrompt = QStringLiteral("skipOldCertPrompt");
const QString kNotifyWhenDone = QStringLiteral("notifyWhenDone");

}  // namespace

namespace Settings {

std::optional<QString> cookieBrowser() {
    const QVariant stored = value(kCookieBrowser);
    if (!stored.isValid()) return std::nullopt;
    return stored.toString();
}

void setCookieBrowser(const std::optional<QString>& rawValue) {
    if (rawValue) {
        setValue(kCookieBrowser, *rawValue);
    } else {
        remove(kCookieBrowser);
    }
}

bool yuanbaoEverLoggedIn() {
    return boolValue(kYuanbaoEverLoggedIn);
}

void setYuanbaoEverLoggedIn(bool value) {
    setValue(kYuanbaoEverLoggedIn, value);
}

bool firstRunShown() {
    return boolValue(kFirstRunShown);
}

void setFirstRunShown(bool value) {
    setValue(kFirstRunShown, value);
}

bool skipOldCertPrompt() {
    return boolValue(kSkipOldCertPrompt);
}

void setSkipOldCertPrompt(bool value) {
    setValue(kSkipOldCertPrompt, value);
}

bool notifyWhenDone() {
    const QVariant stored = value(kNotifyWhenDone);
    return !stored.isValid() || stored.toBool();
}

void setNotifyWhenDone(bool value) {
    setValue(kNotifyWhenDone, value);
}

QVariant value(const QString& key) {
    QMutexLocker lock(&settingsMutex());
    QSettings settings(Names::app(), Names::app());
    return settings.value(key);
}

bool boolValue(const QString& key) {
    return value(key).toBool();
}

void setValue(const QString& key, const QVariant& value) {
    QMutexLocker lock(&settingsMutex());
    QSettings settings(Names::app(), Names::app());
    settings.setValue(key, value);
    settings.sync();
}

void remove(const QString& key) {
    QMutexLocker lock(&settingsMutex());
    QSettings settings(Names::app(), Names::app());
    settings.remove(key);
    settings.sync();
}

}  // namespace Settings
