#include "core/speed_meter.h"

#include "support/byte_count.h"

#include <QStringList>

#include <cmath>

namespace {
constexpr std::chrono::duration<double> kWindow{3.0};
constexpr std::chrono::duration<double> kMinimumSpan{0.3};
constexpr std::chrono::duration<double> kStaleAfter{5.0};
}  // namespace

QString SpeedMeter::text(qint64 written, qint64 total, std::optional<double> speed) {
    return text(written, total, speed, Clock::now());
}

QString SpeedMeter::text(qint64 written, qint64 total, std::optional<double> speed,
                         Clock::time_point now) {
    m_samples.emplace_back(now, written);
    while (m_samples.size() > 1 &&
           std::chrono::duration<double>(now - m_samples.front().first) > kWindow) {
        m_samples.pop_front();
    }

    if (written != m_lastWritten) {
        m_lastWritten = written;
        m_lastGrowth = now;
    }

    double rate = 0;  // bytes per second; not shown unless positive
    if (now - m_lastGrowth < kStaleAfter) {
        if (speed) {
            rate = *speed;
        } else {
            const auto& [oldestTime, oldestWritten] = m_samples.front();
            const std::chrono::duration<double> span = now - oldestTime;
            if (span > kMinimumSpan) rate = double(written - oldestWritten) / span.count();
        }
    }

    QStringList parts;
    if (total > 0) {
        // Truncated toward zero but never converted to an integer: a tool may report counts so
        // far beyond the total that the percentage overflows every integer type.
        const double percent = std::trunc(double(written) / double(total) * 100.0);
        parts << QString::number(percent == 0 ? 0.0 : percent, 'f', 0) + QLatin1Char('%');
        parts << mb(written) + QStringLiteral(" / ") + mb(total);
    } else {
        parts << mb(written);
    }
    if (rate > 0) {
        parts << QString::number(rate / 1048576.0, 'f', 1) + QStringLiteral(" MB/s");
    }
    return parts.join(QStringLiteral(" · "));
}
