#include "login/cookie_mirror.h"

#include "channels/cookie_jar.h"
#include "channels/yuanbao.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSaveFile>
#include <QWebEngineCookieStore>

#include <cerrno>
#include <cstring>

namespace {

// A removal and the addition that follows it arrive as separate events; both land well inside
// this window, and the app polls the jar only every 1.5 s.
constexpr int kFlushDelayMs = 100;
constexpr int kRetryDelayMs = 1000;

bool isMirrored(const QNetworkCookie& cookie) {
    return !cookie.domain().isEmpty() && Yuanbao::belongsToSite(cookie);
}

// The store keeps expiry times to the second when it is handed a cookie, so a cookie that comes
// back from seeding may differ from the jar's line below the second: that is not a change.
bool sameContents(const QNetworkCookie& a, const QNetworkCookie& b) {
    const auto seconds = [](const QNetworkCookie& cookie) -> qint64 {
        return cookie.isSessionCookie() ? -1 : cookie.expirationDate().toSecsSinceEpoch();
    };
    return CookieJar::sameIdentity(a, b) && a.value() == b.value() &&
           a.isSecure() == b.isSecure() && a.isHttpOnly() == b.isHttpOnly() &&
           seconds(a) == seconds(b);
}

// The page that would have set this cookie: a host cookie belongs to its own host only, so it
// is handed over without a domain attribute (with one it would widen to a domain cookie).
QUrl originFor(QNetworkCookie* cookie) {
    QString host = cookie->domain();
    if (host.startsWith(QLatin1Char('.'))) return Yuanbao::home();
    cookie->setDomain(QString());
    QUrl origin = Yuanbao::home();
    if (host.compare(Yuanbao::host(), Qt::CaseInsensitive) != 0) {
        origin.setHost(host);
        origin.setPort(-1);
    }
    return origin;
}

// Why the jar at `path` cannot be replaced, in the system's words; empty when it can (then only
// its lock was busy, and a retry will do).
QString whyUnwritable(const QString& path) {
    if (QFileInfo(path).isDir()) return QString::fromLocal8Bit(std::strerror(EISDIR));
    // The jar is replaced by renaming a new file beside it: its folder must take one.
    QSaveFile probe(path);
    if (!probe.open(QIODevice::WriteOnly)) return probe.errorString();
    probe.cancelWriting();
    return {};
}

}  // namespace

CookieMirror::CookieMirror(QWebEngineCookieStore* store, QObject* parent) : QObject(parent) {
    m_flushTimer.setSingleShot(true);
    connect(&m_flushTimer, &QTimer::timeout, this, &CookieMirror::flush);
    connect(store, &QWebEngineCookieStore::cookieAdded, this, [this](const QNetworkCookie& cookie) {
        if (isMirrored(cookie)) record(cookie, cookie);
    });
    connect(store, &QWebEngineCookieStore::cookieRemoved, this,
            [this](const QNetworkCookie& cookie) {
                if (isMirrored(cookie)) record(cookie, std::nullopt);
            });
    seed(store);
}

CookieMirror::~CookieMirror() {
    flush();
}

void CookieMirror::seed(QWebEngineCookieStore* store) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (QNetworkCookie cookie : CookieJar::read()) {
        if (!isMirrored(cookie)) continue;
        if (!cookie.isSessionCookie() && cookie.expirationDate() <= now) continue;
        const QUrl origin = originFor(&cookie);
        store->setCookie(cookie, origin);
    }
}

void CookieMirror::record(const QNetworkCookie& identity, std::optional<QNetworkCookie> cookie) {
    bool known = false;
    for (Change& change : m_pending) {
        if (CookieJar::sameIdentity(change.identity, identity)) {
            change.cookie = std::move(cookie);
            known = true;
            break;
        }
    }
    if (!known) m_pending.append({identity, std::move(cookie)});
    if (!m_flushTimer.isActive()) m_flushTimer.start(kFlushDelayMs);
}

void CookieMirror::flush() {
    m_flushTimer.stop();
    if (m_pending.isEmpty()) return;
    const QList<Change> pending = std::exchange(m_pending, {});
    const bool written = CookieJar::update([&](QList<QNetworkCookie>& stored) {
        for (const Change& change : pending) {
            const auto same = [&](const QNetworkCookie& cookie) {
                return CookieJar::sameIdentity(cookie, change.identity);
            };
            const auto found = std::find_if(stored.begin(), stored.end(), same);
            if (!change.cookie) {
                stored.removeIf(same);
            } else if (found == stored.end()) {
                stored.append(*change.cookie);
            } else if (!sameContents(*found, *change.cookie)) {
                *found = *change.cookie;
            }
        }
    });
    if (!written) {
        // Keep the changes, newest last.
        const QList<Change> later = std::exchange(m_pending, pending);
        for (const Change& change : later) record(change.identity, change.cookie);
        m_flushTimer.stop();
        const QString path = CookieJar::path();
        if (const QString why = whyUnwritable(path); !why.isEmpty()) {
            if (!std::exchange(m_failureReported, true)) {
                Q_EMIT saveFailed(QStringLiteral("登录信息无法保存：无法写入 ") + path +
                                  QStringLiteral("（") + why + QStringLiteral("）"));
            }
            return;
        }
        // The jar stayed locked by the app for a moment: try again shortly.
        m_flushTimer.start(kRetryDelayMs);
    }
}
