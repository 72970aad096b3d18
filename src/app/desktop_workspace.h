#pragma once

#include "manager/desktop_services.h"

// Opens addresses and folders with the desktop's own programs. A file is revealed through the
// file manager's org.freedesktop.FileManager1 service (which selects it); without one, its
// folder is opened. A settings remedy goes where this system's settings panes say: a settings
// address is opened, a local folder (where no pane grants the access) is revealed, selected in
// its parent, one click away from its permissions.
class DesktopWorkspace : public Workspace {
public:
    void openURL(const QUrl& url) override;
    void revealFile(const QString& path) override;
    void openSettingsPane(Pane pane) override;
};
