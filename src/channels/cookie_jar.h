#pragma once

#include <QList>
#include <QNetworkCookie>
#include <QString>

#include <functional>

// The login's cookie store: the file that stands in for the web view's persistent data store.
// The login helper (quorvin-login) writes the cookies its web view holds; the app reads the file
// afresh on every call, so a login or logout in one process is seen by the other at once.
//
// Format: UTF-8 JSON lines, one cookie per line, in store order:
//   {"name":"hy_token","value":"…","domain":".tencent.com","path":"/",
//    "expires":1767225600000,"secure":true,"httpOnly":true}
// "domain" is kept as the web view gave it (a leading dot marks a domain cookie); "expires" is
// milliseconds since 1970 (UTC) and is absent for a session cookie. Unreadable lines are
// skipped. The file is owner-only (0600) inside the owner-only support folder, and is replaced
// in one rename so a reader never sees half a file.
namespace CookieJar {

// AppPaths::support() + "/cookies.jsonl".
QString path();

// True when both are the same cookie to a browser: same name, domain and path. A cookie set
// again with these three replaces the old one, whatever its value.
bool sameIdentity(const QNetworkCookie& a, const QNetworkCookie& b);

// Every cookie in the file, in its order; empty when there is no file. Secures the
// permissions first (securePermissions()).
QList<QNetworkCookie> read();

// Makes the jar owner-only (0600) and its folder too (0700), which a jar copied in or written
// by an older version may not be; logs one line when it had to. Called by every read (the first
// comes at start-up, with the login state) and after every write.
void securePermissions();

// Replaces the file's contents with `cookies`. Returns false when the file could not be written.
bool write(const QList<QNetworkCookie>& cookies);

// Adds `cookie`, replacing a stored one with the same name, domain and path (what a browser
// does when a server sets it again). Read, change and write happen under a lock file, so the
// app and the login helper never lose each other's changes.
bool insert(const QNetworkCookie& cookie);

// Removes the stored cookies with the same name, domain and path as `cookie`.
bool remove(const QNetworkCookie& cookie);

// Runs `change` on the stored cookies and writes the result, all under the lock file. The file
// is left alone when the change leaves every line as it was. Returns false when the lock or the
// write failed.
bool update(const std::function<void(QList<QNetworkCookie>&)>& change);

// Removes every stored cookie for which `drop` is true; returns how many went.
int removeIf(const std::function<bool(const QNetworkCookie&)>& drop);

// One cookie as one line of the file, without the newline; and back (false when unreadable).
QByteArray toLine(const QNetworkCookie& cookie);
bool fromLine(const QByteArray& line, QNetworkCookie* cookie);

}  // namespace CookieJar
