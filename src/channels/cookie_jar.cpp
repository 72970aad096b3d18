#include "channels/cookie_jar.h"

#include "channels/json_reading.h"
#include "support/app_paths.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>

namespace {

QList<QNetworkCookie> parse(const QByteArray& contents) {
    QList<QNetworkCookie> cookies;
    for (const QByteArray& line : contents.split('\n')) {
        QNetworkCookie cookie;
        if (CookieJar::fromLine(line, &cookie)) cookies.append(cookie);
    }
    return cookies;
}

QByteArray serialize(const QList<QNetworkCookie>& cookies) {
    QByteArray contents;
    for (const QNetworkCookie& cookie : cookies) contents += CookieJar::toLine(cookie) + '\n';
    return contents;
}

}  // namespace

namespace CookieJar {

QString path() {
    return AppPaths::support() + QStringLiteral("/cookies.jsonl");
}

bool sameIdentity(const QNetworkCookie& a, const QNetworkCookie& b) {
    return a.name() == b.name() && a.domain() == b.domain() && a.path() == b.path();
}

QByteArray toLine(const QNetworkCookie& cookie) {
    QJsonObject object{
        {QStringLiteral("name"), QString::fromUtf8(cookie.name())},
        {QStringLiteral("value"), QString::fromUtf8(cookie.value())},
        {QStringLiteral("domain"), cookie.domain()},
        {QStringLiteral("path"), cookie.path()},
        {QStringLiteral("secure"), cookie.isSecure()},
        {QStringLiteral("httpOnly"), cookie.isHttpOnly()},
    };
    if (!cookie.isSessionCookie()) {
        object.insert(QStringLiteral("expires"),
                      double(cookie.expirationDate().toMSecsSinceEpoch()));
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

bool fromLine(const QByteArray& line, QNetworkCookie* cookie) {
    const QJsonDocument document = QJsonDocument::fromJson(line.trimmed());
    if (!document.isObject()) return false;
    const QJsonObject object = document.object();
    const QJsonValue name = object.value(QStringLiteral("name"));
    if (!name.isString() || name.toString().isEmpty()) return false;
    QNetworkCookie parsed(name.toString().toUtf8(),
                          object.value(QStringLiteral("value")).toString().toUtf8());
    parsed.setDomain(object.value(QStringLiteral("domain")).toString());
    parsed.setPath(object.value(QStringLiteral("path")).toString());
    parsed.setSecure(object.value(QStringLiteral("secure")).toBool());
    parsed.setHttpOnly(object.value(QStringLiteral("httpOnly")).toBool());
    // Out of range (a damaged line): read as a session cookie rather than overflowing.
    if (const auto expires =
            JsonReading::epochTime(object.value(QStringLiteral("expires")), 1000)) {
        parsed.setExpirationDate(*expires);
    }
    *cookie = parsed;
    return true;
}

QList<QNetworkCookie> read() {
    securePermissions();
    QFile file(path());
    if (!file.open(QIODevice::ReadOnly)) return {};
    return parse(file.readAll());
}

bool write(const QList<QNetworkCookie>& cookies) {
    AppPaths::ensureDirectories();
    QSaveFile file(path());
    if (!file.open(QIODevice::WriteOnly)) return false;
    // The login cookie is as good as a password: nobody else may read it, not even between
    // this write and the rename that publishes it.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(serialize(cookies));
    const bool written = file.commit();
    securePermissions();
    return written;
}

// Read, change and write as one step against the other process that uses the jar. An unchanged
// list is not written: the login window mirrors every cookie event, most of which change nothing.
bool update(const std::function<void(QList<QNetworkCookie>&)>& change) {
    AppPaths::ensureDirectories();
    QLockFile lock(path() + QStringLiteral(".lock"));
    lock.setStaleLockTime(10'000);
    if (!lock.tryLock(5'000)) return false;
    QList<QNetworkCookie> cookies = read();
    const QByteArray before = serialize(cookies);
    change(cookies);
    if (serialize(cookies) == before) return true;
    return write(cookies);
}

bool insert(const QNetworkCookie& cookie) {
    return update([&](QList<QNetworkCookie>& cookies) {
        for (QNetworkCookie& stored : cookies) {
            if (sameIdentity(stored, cookie)) {
                stored = cookie;
                return;
            }
        }
        cookies.append(cookie);
    });
}

bool remove(const QNetworkCookie& cookie) {
    return update([&](QList<QNetworkCookie>& cookies) {
        cookies.removeIf(
            [&](const QNetworkCookie& stored) { return sameIdentity(stored, cookie); });
    });
}

int removeIf(const std::function<bool(const QNetworkCookie&)>& drop) {
    int removed = 0;
    update([&](QList<QNetworkCookie>& cookies) { removed = int(cookies.removeIf(drop)); });
    return removed;
}

}  // namespace CookieJar
