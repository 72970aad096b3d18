#include "manager/yuanbao_status.h"

#include "channels/yuanbao.h"

void YuanbaoStatus::refresh() {
    const Yuanbao::LoginState state = Yuanbao::loginState();
    if (state.isLoggedIn()) {
        setLoggedIn(true);
        setUntil(state.until);
    } else {
        setLoggedIn(false);
        setUntil(std::nullopt);
    }
}

void YuanbaoStatus::setLoggedOut() {
    setLoggedIn(false);
}

void YuanbaoStatus::logout() {
    Yuanbao::logout();
    refresh();
}

void YuanbaoStatus::setLoggedIn(std::optional<bool> value) {
    if (value == m_loggedIn) return;
    m_loggedIn = value;
    Q_EMIT loggedInChanged();
}

void YuanbaoStatus::setUntil(std::optional<QDateTime> value) {
    if (value == m_until) return;
    m_until = value;
    Q_EMIT untilChanged();
}
