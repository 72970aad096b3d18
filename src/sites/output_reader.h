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

    // A progress field as a byte count or speed: absent for "NA", for text that is not a
    // number, and for values that are not finite, negative or too large for a byte count.
    static std::optional<double> number(const QString& field);

private:
    void progress(const QString& fields);

    QPointer<DownloadItem> m_item;
    StallMonitor& m_monitor;
    StreamTracker m_tracker;
    SpeedMeter m_meter;
};
