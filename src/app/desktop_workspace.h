#pragma once

#include "manager/desktop_services.h"

// Opens addresses and folders with the desktop's own programs. A file is revealed through the
// file manager's org.freedesktop.FileManager1 service (which selects it); without one, its
// folder is opened. Linux has no privacy panes: whatever a failure wanted to send the user to
// (permission to write the Desktop), the nearest useful place is the Desktop folder itself,
// selected in its parent, one click away from its permissions.
class DesktopWorkspace : public Workspace {
public:
    void openURL(const QUrl& url) override;
    void revealFile(const QString& path) override;
    void openSettingsPane(Pane pane) override;
};
