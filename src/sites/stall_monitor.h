#pragma once

#include "core/failure.h"
#include "core/platform.h"

#include <QString>

#include <chrono>

// Reads yt-dlp's free-form output to tell the user which stage a download is in before the
// transfer starts, remembers when the tool last said anything, and explains a stall. One per
// download attempt; main thread only. Times can be passed in for reproducible tests.
class StallMonitor {
public:
    using Clock = std::chrono::steady_clock;

    // Seconds of silence (outside post-processing) after which the tool is stopped.
    static constexpr double limit = 90.0;

    // `stallLimit`: the seconds of silence this attempt allows (tests shorten it).
    explicit StallMonitor(Platform platform, Clock::time_point now = Clock::now(),
                          double stallLimit = limit);

    // Records an output line: may move the stage, and refreshes the last-heard time until the
    // transfer has started.
    void heard(const QString& line, Clock::time_point now = Clock::now());
    // Records the byte count of a progress report. Once bytes arrive, only a count that changes
    // counts as news: yt-dlp keeps talking while a connection hangs ("Retrying…", repeated
    // progress), and none of that is data.
    void receivedBytes(qint64 count, Clock::time_point now = Clock::now());

    double silentSeconds(Clock::time_point now = Clock::now()) const;
    // The stage and, after ten seconds, how long the attempt has taken.
    QString statusText(Clock::time_point now = Clock::now()) const;
    // Why the tool was stopped, with advice that fits the platform.
    Failure failure() const;

    Platform platform() const { return m_platform; }
    double stallLimit() const { return m_stallLimit; }
    const QString& stage() const { return m_stage; }
    bool gotTitle() const { return m_gotTitle; }
    bool stalled() const { return m_stalled; }
    bool postProcessing() const { return m_postProcessing; }
    void setGotTitle() { m_gotTitle = true; }
    void setStalled() { m_stalled = true; }

private:
    const Platform m_platform;
    const double m_stallLimit;
    const Clock::time_point m_started;
    Clock::time_point m_lastHeard;
    QString m_stage;
    std::optional<qint64> m_bytes;  // the last count reported, once the transfer has begun
    bool m_gotTitle = false;
    bool m_stalled = false;
    bool m_postProcessing = false;
};
