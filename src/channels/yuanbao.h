#pragma once

#include "channels/login_state.h"
#include "channels/parse_result.h"
#include "core/cancel_token.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QNetworkCookie>
#include <QString>
#include <QUrl>

#include <memory>

// The Tencent Yuanbao service: turns a Channels share link into (token, export id) for a
// logged-in account. The login lives as cookies in the cookie jar file (channels/cookie_jar.h),
// read afresh on every call; nothing is cached in memory.
namespace Yuanbao {

inline constexpr char kUserAgent[] =
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) "
    "Version/26.0 Safari/605.1.15";
// The agent of the parse request and of the login web view (not Net::userAgent()).
QString userAgent();

// "https://yuanbao.tencent.com", or QUORVIN_YUANBAO_ORIGIN (channels/origin.h).
QString origin();
// The host of origin(); every cookie decision is made against it.
QString host();
// origin() + "/": the login page and the parse request's Referer.
QUrl home();
// The last two labels of host() ("tencent.com"), whose cookies logout() removes. A numeric
// host (a test server) is its own parent.
QString parentDomain();

// The name of the login cookie.
inline constexpr char kTokenCookie[] = "hy_token";

// True when `cookie` applies to `forHost`: its domain without one leading dot equals the host,
// or the host ends with "." and that domain. Cookies of other sites never match.
bool appliesTo(const QNetworkCookie& cookie, const QString& forHost);

// True when `cookie` belongs to the Yuanbao site: its domain is parentDomain() or lies below it.
// A domain match, not a substring test, so a look-alike such as "nottencent.com" is another
// site. These are the cookies the login window keeps and logout() removes.
bool belongsToSite(const QNetworkCookie& cookie);

// The jar's cookies that apply to host() and have not expired, in the jar's order.
QList<QNetworkCookie> cookies();

// Logged in at the first non-empty "hy_token" (recording "yuanbaoEverLoggedIn"), else logged
// out with the recorded flag.
LoginState loginState();

// Removes the parent domain's cookies from the jar, clears "yuanbaoEverLoggedIn" and logs
// "已退出元宝登录". Never fails visibly.
void logout();

// Posts the share link with the login cookies. Throws Problem: needLogin without a "hy_token"
// cookie or on 401/403, apiChanged on an unreadable reply, notFound without an export id, the
// transport problem of Net::send, cancelled when `cancel` fires. Main thread.
QCoro::Task<ParseResult> parse(QString shareURL, std::shared_ptr<CancelToken> cancel = nullptr);

}  // namespace Yuanbao
