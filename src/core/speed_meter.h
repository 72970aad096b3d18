#pragma once

#include <QString>
#include <QtGlobal>

#include <chrono>
#include <deque>
#include <optional>
#include <utility>

// Turns progress reports into "37% · 12.4 MB / 33.5 MB · 2.1 MB/s". Measures the rate over the
// last three seconds unless the caller knows it. Once no new byte has come for five seconds the
// rate is left out, whatever the caller says: a stalled transfer must not go on showing its last
// speed. One meter per transfer, one thread at a time.
class SpeedMeter {
public:
    using Clock = std::chrono::steady_clock;

    // total < 1: the size is unknown. speed in bytes per second.
    QString text(qint64 written, qint64 total, std::optional<double> speed = std::nullopt);
    // The same with an explicit time, for reproducible tests.
    QString text(qint64 written, qint64 total, std::optional<double> speed, Clock::time_point now);

private:
    std::deque<std::pair<Clock::time_point, qint64>> m_samples;  // oldest first
    std::optional<qint64> m_lastWritten;
    Clock::time_point m_lastGrowth;
};
