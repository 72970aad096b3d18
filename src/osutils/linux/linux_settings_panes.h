#pragma once

#include "osutils/settings_panes.h"

namespace OsUtils {

// No settings pane grants a program the Desktop here: a refused save says what the system
// reported and what cures it, and a settings remedy shows the Desktop folder.
class LinuxSettingsPanes final : public SettingsPanes {
public:
    bool grantsDesktopAccess() const override { return false; }
    QString diskAdvice(const QString& reason) const override;
    QUrl address(Pane pane) const override;
};

}  // namespace OsUtils
