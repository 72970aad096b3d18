#pragma once

#include "osutils/settings_panes.h"

namespace OsUtils {

// Privacy & Security in System Settings: Files and Folders grants the Desktop, Full Disk Access
// lets yt-dlp read Safari's cookies.
class MacSettingsPanes final : public SettingsPanes {
public:
    bool grantsDesktopAccess() const override { return true; }
    QString diskAdvice(const QString& reason) const override;
    QUrl address(Pane pane) const override;
};

}  // namespace OsUtils
