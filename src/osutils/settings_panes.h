#pragma once

#include <QString>
#include <QUrl>

namespace OsUtils {

// The system settings that can give the program access it was refused, and what a refused save
// tells the user to do.
class SettingsPanes {
public:
    enum class Pane { desktopAccess, fullDiskAccess };

    virtual ~SettingsPanes() = default;
    // Whether a settings pane grants access to the Desktop: only then does a refused save send
    // the user to it.
    virtual bool grantsDesktopAccess() const = 0;
    // The advice for a file that could not be written to the Desktop; `reason` is the system's
    // own text (strerror) or ours for a temporary file.
    virtual QString diskAdvice(const QString& reason) const = 0;
    // Where the remedy of a refusal leads: a settings address, or a local folder to show.
    virtual QUrl address(Pane pane) const = 0;
};

}  // namespace OsUtils
