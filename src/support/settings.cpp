#include "support/settings.h"

#include <QMutex>
#include <QSettings>

namespace {

QMutex& settingsMutex() {
    static QMutex mutex;
    return mutex;
}

}  // namespace

namespace Settings {

QVariant value(const QString& key) {
    QMutexLocker lock(&settingsMutex());
    QSettings settings(QStringLiteral("Quorvin"), QStringLiteral("Quorvin"));
    return settings.value(key);
}

bool boolValue(const QString& key) {
    return value(key).toBool();
}

void setValue(const QString& key, const QVariant& value) {
    QMutexLocker lock(&settingsMutex());
    QSettings settings(QStringLiteral("Quorvin"), QStringLiteral("Quorvin"));
    settings.setValue(key, value);
    settings.sync();
}

void remove(const QString& key) {
    QMutexLocker lock(&settingsMutex());
    QSettings settings(QStringLiteral("Quorvin"), QStringLiteral("Quorvin"));
    settings.remove(key);
    settings.sync();
}

}  // namespace Settings
