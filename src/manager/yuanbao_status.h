#pragma once

#include <QDateTime>
#include <QObject>

#include <optional>

// The Yuanbao login as last read from the cookie jar, published for the panel: unknown until
// the first refresh, then logged in (perhaps with an expiry) or logged out. Main thread only.
class YuanbaoStatus : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    std::optional<bool> loggedIn() const { return m_loggedIn; }
    std::optional<QDateTime> until() const { return m_until; }

    // Reads the stored login again.
    void refresh();
    // A download found the login missing or refused; the expiry shown stays until a refresh.
    void setLoggedOut();
    // Forgets the stored login, then reads it again.
    void logout();

Q_SIGNALS:
    void loggedInChanged();
    void untilChanged();

private:
    void setLoggedIn(std::optional<bool> value);
    void setUntil(std::optional<QDateTime> value);

    std::optional<bool> m_loggedIn;
    std::optional<QDateTime> m_until;
};
