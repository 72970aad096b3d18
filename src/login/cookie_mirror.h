#pragma once

#include <QList>
#include <QNetworkCookie>
#include <QObject>
#include <QTimer>

#include <optional>

class QWebEngineCookieStore;

// Makes the web view's cookie store and our cookie jar file one store for the Yuanbao site.
// The view's profile keeps nothing on disk, so the jar is where a login lives: the store is
// seeded from the jar before the first page loads, and every change the view makes to the site's
// cookies is written back. Cookies of other sites the page loads stay in the view's memory and
// die with it.
//
// The store reports an overwrite as a removal followed by an addition (even with the same
// value), so changes are collected for a moment and written as one update of the jar, under
// its lock, and only when a line of the jar really changes. A jar that cannot be written (it is
// a folder, its folder is read-only) is reported once with the system's words and not retried:
// the login would be lost with the window.
class CookieMirror : public QObject {
    Q_OBJECT

public:
    CookieMirror(QWebEngineCookieStore* store, QObject* parent = nullptr);
    ~CookieMirror() override;  // writes what is still pending

    // Writes the pending changes now.
    void flush();

Q_SIGNALS:
    // "登录信息无法保存：" with the path and the system's reason.
    void saveFailed(const QString& message);

private:
    struct Change {
        QNetworkCookie identity;               // name, domain and path of the cookie
        std::optional<QNetworkCookie> cookie;  // its last state; nothing when removed
    };

    void seed(QWebEngineCookieStore* store);
    void record(const QNetworkCookie& identity, std::optional<QNetworkCookie> cookie);

    QList<Change> m_pending;
    QTimer m_flushTimer;
    bool m_failureReported = false;
};
