#pragma once

#include <QNetworkCookie>
#include <QNetworkCookieJar>

// A jar that keeps nothing and offers nothing: a login cookie must never travel to a host it
// was not meant for (a request that needs cookies carries them as a header), and a cookie a
// server sets, even on a redirect, must not travel to the next request.
class NoCookieJar final : public QNetworkCookieJar {
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    QList<QNetworkCookie> cookiesForUrl(const QUrl&) const override { return {}; }
    bool setCookiesFromUrl(const QList<QNetworkCookie>&, const QUrl&) override { return false; }
};
