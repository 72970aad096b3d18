#include "sites/stall_monitor.h"

#include "support/text_search.h"

#include <cmath>

namespace {

bool startsWithAny(const QString& text, std::initializer_list<const char*> prefixes) {
    for (const char* prefix : prefixes) {
        if (text.startsWith(QLatin1String(prefix))) return true;
    }
    return false;
}

}  // namespace

StallMonitor::StallMonitor(Platform platform, Clock::time_point now, double stallLimit)
    : m_platform(platform),
      m_stallLimit(stallLimit),
      m_started(now),
      m_lastHeard(now),
      m_stage(QStringLiteral("正在连接")) {}

void StallMonitor::heard(const QString& line, Clock::time_point now) {
    if (!m_bytes) m_lastHeard = now;
    const QString l = line.toLower();
    // First matching rule wins; the order matters (a merger line never changes the stage).
    if (startsWithAny(l, {"[merger]", "[fixup", "[videoconvertor]", "[extractaudio]"})) {
        m_postProcessing = true;
    } else if (l.contains(QLatin1String("extracting url"))) {
        m_stage = QStringLiteral("正在连接 ") + m_platform.name();
    } else if (l.contains(QLatin1String("downloading webpage"))) {
        m_stage = QStringLiteral("正在获取视频网页");
    } else if (l.contains(QLatin1String("player")) && l.contains(QLatin1String("download"))) {
        m_stage = QStringLiteral("正在下载网站的播放器脚本");
    } else if (containsAny(l, {"challenge", "[jsc"})) {
        m_stage = QStringLiteral("正在通过网站的验证");
    } else if (containsAny(l, {"m3u8", "mpd", "format"})) {
        m_stage = QStringLiteral("正在获取可下载的清晰度");
    } else if (containsAny(l, {"json", "api", "config"})) {
        m_stage = QStringLiteral("正在获取视频信息");
    } else if (l.contains(QLatin1String("downloading")) && l.startsWith(QLatin1Char('[')) &&
               !l.startsWith(QLatin1String("[download]"))) {
        m_stage = QStringLiteral("正在获取视频信息");
    }
}

void StallMonitor::receivedBytes(qint64 count, Clock::time_point now) {
    // The count restarts with every stream (video, then sound): a change either way is data.
    if (count <= 0 || m_bytes == count) return;
    m_bytes = count;
    m_lastHeard = now;
}

double StallMonitor::silentSeconds(Clock::time_point now) const {
    return std::chrono::duration<double>(now - m_lastHeard).count();
}

QString StallMonitor::statusText(Clock::time_point now) const {
    const auto n =
        qint64(std::chrono::duration_cast<std::chrono::seconds>(now - m_started).count());
    if (n <= 9) return m_stage + QStringLiteral("…");
    return m_stage + QStringLiteral("…（已 ") + QString::number(n) + QStringLiteral(" 秒") +
           (n >= 30 ? QStringLiteral("，比平时慢") : QString()) + QStringLiteral("）");
}

// The user-facing texts stay whole, one literal each.
// clang-format off
Failure StallMonitor::failure() const {
    QString stageWords = m_gotTitle ? QStringLiteral("下载视频") : m_stage;
    stageWords.remove(QStringLiteral("正在"));
    const QString seconds = QString::number(m_stallLimit, 'g', 10);
    QString advice;
    if (m_platform.needsVPNInChina()) {
        advice = QStringLiteral("这一步 ") + seconds + QStringLiteral(" 秒都没收到新数据。") +
                 m_platform.name() + QStringLiteral(" 要经过 VPN，当前线路太慢。\n") +
                 QStringLiteral(
                     "浏览器能直接看，是因为它已经缓存了网页和播放器脚本，而且只需先加载一小段低清画面；下载器要先完整取得这些内容才能开始。\n") +
                 QStringLiteral("换一个更快的 VPN 节点后点「重试」。");
    } else {
        advice =
            QStringLiteral("这一步 ") + seconds +
            QStringLiteral(
                " 秒都没收到新数据。如果开着全局 VPN，国内网站也会绕道国外而变得很慢：试试关掉 VPN，或改成「只代理国外网站」，然后点「重试」。");
    }
    return Failure{QStringLiteral("网络太慢，卡在「") + stageWords + QStringLiteral("」"),
                   advice,
                   {Failure::Action::retry}};
}
// clang-format on
