#pragma once

#include <QDateTime>

#include <optional>

namespace Yuanbao {

// Whether the Yuanbao login cookie is there: logged in (until its expiry, none for a session
// cookie), or logged out, and then whether a login existed before (it expired or was removed).
struct LoginState {
    enum class Kind : quint8 { loggedIn, loggedOut };

    static LoginState loggedIn(std::optional<QDateTime> until) {
        return {Kind::loggedIn, std::move(until), false};
    }
    static LoginState loggedOut(bool expired) { return {Kind::loggedOut, std::nullopt, expired}; }

    bool isLoggedIn() const { return kind == Kind::loggedIn; }

    Kind kind = Kind::loggedOut;
    std::optional<QDateTime> until;  // loggedIn only
    bool expired = false;            // loggedOut only

    friend bool operator==(const LoginState&, const LoginState&) = default;
};

}  // namespace Yuanbao
