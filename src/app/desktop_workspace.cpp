#include "app/desktop_workspace.h"

#include "osutils/osutils.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>

void DesktopWorkspace::openURL(const QUrl& url) {
    // A file that no program takes (no text viewer for the log, say) is shown in the file
    // manager instead, so the click always leads somewhere.
    if (!QDesktopServices::openUrl(url) && url.isLocalFile() &&
        QFileInfo(url.toLocalFile()).isFile())
        revealFile(url.toLocalFile());
}

void DesktopWorkspace::revealFile(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openURL(QUrl::fromLocalFile(folder));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)} << QString();
    // Asked without waiting: a file manager started by D-Bus activation may take a while; only
    // a refusal (no such service) falls back to the folder.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 10000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [watcher, folder] {
        if (watcher->isError()) QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
        watcher->deleteLater();
    });
}

void DesktopWorkspace::openSettingsPane(Pane pane) {
    const QUrl address = OsUtils::settingsPanes().address(
        pane == Pane::filesAndFolders ? OsUtils::SettingsPanes::Pane::desktopAccess
                                      : OsUtils::SettingsPanes::Pane::fullDiskAccess);
    if (address.isLocalFile()) {
        revealFile(address.toLocalFile());
    } else {
        openURL(address);
    }
}
