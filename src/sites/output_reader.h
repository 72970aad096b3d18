#pragma once

#include "core/speed_meter.h"
#include "sites/stall_monitor.h"
#include "sites/stream_tracker.h"

#include <QPointer>
#include <QString>

#include <optional>

class DownloadItem;

// Turns yt-dlp's output lines into updates of the download item: title, thumbnail, progress
// with stream label and speed, the merging phase. Every line also reaches the stall monitor.
// Main thread only.
class OutputReader {
public:
    OutputReader(DownloadItem* item, StallMonitor& monitor);

    void handle(const QString& line);
    // Shows the last progress again, so a transfer that has stopped receiving stops showing a
    // speed. Called by the watchdog's tick.
    void refreshProgress();

    // A progress field as a byte count or speed: absent for "NA", for text that is not a
    // number, and for values that are not finite, negative or too large for a byte count.
    static std::optional<double> number(const QString& field);

private:
    struct Progress {
        qint64 downloaded;
        qint64 total;
        std::optional<double> speed;
        QString label;
    };
    void progress(const QString& fields);
    void show(const Progress& progress);

    QPointer<DownloadItem> m_item;
    StallMonitor& m_monitor;
    StreamTracker m_tracker;
    SpeedMeter m_meter;
    std::optional<Progress> m_last;
};
