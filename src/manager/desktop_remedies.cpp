#include "manager/desktop_remedies.h"

#include "support/app_paths.h"

#include <QUrl>

bool performOnDesktop(const Failure::Action& action, const DesktopServices& services,
                      const Tools::Settings& tools, const QUrl& link) {
    switch (action.kind()) {
        case Failure::Action::openDesktopPrivacy:
            if (services.workspace) {
                services.workspace->openSettingsPane(Workspace::Pane::filesAndFolders);
            }
            return true;
        case Failure::Action::openFullDiskAccess:
            if (services.workspace) {
                services.workspace->openSettingsPane(Workspace::Pane::fullDiskAccess);
            }
            return true;
        case Failure::Action::copyInstallCommand:
            if (services.clipboard) services.clipboard->setText(Tools::installCommand(tools));
            return true;
        case Failure::Action::openLogs:
            if (services.workspace)
                services.workspace->openURL(QUrl::fromLocalFile(AppPaths::appLog()));
            return true;
        case Failure::Action::openLink:
            if (services.workspace) services.workspace->openURL(link);
            return true;
        case Failure::Action::useBrowserCookies:
        case Failure::Action::forgetBrowserCookies:
        case Failure::Action::retry:
        case Failure::Action::resume:
        case Failure::Action::downloadAgain:
        case Failure::Action::loginYuanbao:
        case Failure::Action::updateTools:
            break;
    }
    return false;
}
