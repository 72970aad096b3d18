#include "channels/yuanbao.h"

#include "channels/cookie_jar.h"
#include "channels/json_reading.h"
#include "channels/origin.h"
#include "core/background.h"
#include "net/net.h"
#include "support/domains.h"
#include "support/log.h"
#include "support/safe_text.h"
#include "support/settings.h"

#include <QDateTime>
#include <QHostAddress>
#include <QJsonObject>
#include <QUrlQuery>

namespace {

const QString kService = QStringLiteral("腾讯元宝");

bool isToken(const QNetworkCookie& cookie) {
    return cookie.name() == Yuanbao::kTokenCookie;
}

Problem noToken() {
    return Problem::apiChanged(QStringLiteral("元宝没有返回播放凭证"));
}

// The reply rules, in order; the first that fails decides the problem.
Yuanbao::ParseResult readReply(const Net::Response& response) {
    if (response.status == 401 || response.status == 403) throw Problem::needLogin(true);
    const QJsonObject reply = JsonReading::replyObject(response, QStringLiteral("元宝"));

    const qint64 code = JsonReading::integer(reply.value(QStringLiteral("code"))).value_or(-1);
    // The service's own words reach the row, standard error and the log: kept short.
    const QString message = SafeText::excerpt(
        JsonReading::text(reply.value(QStringLiteral("msg"))).value_or(QString()));
    const auto codeProblem = [&](qint64 shown) {
        return Problem::apiChanged(QStringLiteral("元宝返回 code ") + QString::number(shown) +
                                   QStringLiteral("：") + message);
    };
    if (code != 0) throw codeProblem(code);
    const QJsonValue dataValue = reply.value(QStringLiteral("data"));
    if (!dataValue.isObject()) throw codeProblem(0);
    const QJsonObject data = dataValue.toObject();

    const QString wxExportId =
        JsonReading::text(data.value(QStringLiteral("wx_export_id"))).value_or(QString());
    if (wxExportId.isEmpty()) throw Problem::notFound();

    const auto playable = JsonReading::text(data.value(QStringLiteral("playable_url")));
    if (!playable) throw noToken();
    const QUrl playableURL(*playable, QUrl::StrictMode);
    if (!playableURL.isValid() || !playableURL.hasQuery()) throw noToken();
    const QList<QPair<QString, QString>> items =
        QUrlQuery(playableURL).queryItems(QUrl::FullyDecoded);
    if (items.isEmpty()) throw noToken();

    const auto firstValue = [&](const QString& name) -> QString {
        for (const auto& [key, value] : items) {
            if (key == name) return value;
        }
        return {};
    };
    const QString token = firstValue(QStringLiteral("token"));
    if (token.isEmpty()) throw noToken();
    const QString eid = firstValue(QStringLiteral("eid"));
    return {token, eid.isEmpty() ? wxExportId : eid};
}

}  // namespace

namespace Yuanbao {

QString userAgent() {
    return QString::fromLatin1(kUserAgent);
}

QString origin() {
    static const QString value = Origin::fromEnvironment(
        "QUORVIN_YUANBAO_ORIGIN", QStringLiteral("https://yuanbao.tencent.com"));
    return value;
}

QString host() {
    static const QString value = QUrl(origin()).host();
    return value;
}

QUrl home() {
    static const QUrl value(origin() + QLatin1Char('/'));
    return value;
}

QString parentDomain() {
    const QString name = host();
    if (!QHostAddress(name).isNull()) return name;
    const QStringList labels = name.split(QLatin1Char('.'));
    return labels.size() <= 2 ? name : labels.sliced(labels.size() - 2).join(QLatin1Char('.'));
}

bool appliesTo(const QNetworkCookie& cookie, const QString& forHost) {
    QString domain = cookie.domain();
    if (domain.startsWith(QLatin1Char('.'))) domain.remove(0, 1);
    if (domain.isEmpty()) return false;
    return hostBelongsTo(forHost, domain, Qt::CaseInsensitive);
}

QList<QNetworkCookie> cookies() {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QList<QNetworkCookie> kept;
    for (const QNetworkCookie& cookie : CookieJar::read()) {
        if (!appliesTo(cookie, host())) continue;
        if (!cookie.isSessionCookie() && cookie.expirationDate() <= now) continue;
        kept.append(cookie);
    }
    return kept;
}

LoginState loginState() {
    for (const QNetworkCookie& cookie : cookies()) {
        if (!isToken(cookie) || cookie.value().isEmpty()) continue;
        // The login window polls this every 1.5 s: write the settings file only on a change.
        if (!Settings::yuanbaoEverLoggedIn()) Settings::setYuanbaoEverLoggedIn(true);
        return LoginState::loggedIn(cookie.isSessionCookie()
                                        ? std::nullopt
                                        : std::optional<QDateTime>(cookie.expirationDate()));
    }
    return LoginState::loggedOut(Settings::yuanbaoEverLoggedIn());
}

bool belongsToSite(const QNetworkCookie& cookie) {
    const QString parent = parentDomain();
    QString domain = cookie.domain();
    if (domain.startsWith(QLatin1Char('.'))) domain.remove(0, 1);
    return hostBelongsTo(domain, parent, Qt::CaseInsensitive);
}

void logout() {
    // The parent domain's "site data": its own cookies and those of every subdomain.
    CookieJar::removeIf(belongsToSite);
    Settings::setYuanbaoEverLoggedIn(false);
    Log::write(QStringLiteral("已退出元宝登录"));
}

QCoro::Task<ParseResult> parse(QString shareURL, std::shared_ptr<CancelToken> cancel) {
    const QList<QNetworkCookie> kept = cookies();
    if (std::none_of(kept.begin(), kept.end(), isToken)) {
        throw Problem::needLogin(Settings::yuanbaoEverLoggedIn());
    }

    QNetworkRequest request(QUrl(origin() + QStringLiteral("/api/weixin/get_parse_result")));
    request.setTransferTimeout(20'000);
    // The login cookies go to this one host only: a redirect elsewhere is answered as a status
    // (and read as an unexpected reply) instead of being followed with the Cookie header.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    QByteArrayList pairs;
    for (const QNetworkCookie& cookie : kept)
        pairs.append(cookie.toRawForm(QNetworkCookie::NameAndValueOnly));
    request.setRawHeader("Cookie", pairs.join("; "));
    request.setRawHeader("Origin", origin().toUtf8());
    request.setRawHeader("Referer", home().toString(QUrl::FullyEncoded).toUtf8());
    request.setRawHeader("User-Agent", kUserAgent);

    const QJsonObject body{
        {QStringLiteral("type"), QStringLiteral("video_channel_url")},
        {QStringLiteral("url"), shareURL},
        {QStringLiteral("scene"), 1},
    };
    const Net::Response response = co_await Net::postJson(request, body, kService, cancel);
    // Even within the size bound, a hostile reply can take the JSON parser most of a second
    // (400,000 small objects in 3 MB): never on the main thread, where the panel is drawn.
    const auto read = [response] { return readReply(response); };
    co_return co_await offMainThread(read);
}

}  // namespace Yuanbao
