#include "osutils/macos/mac_settings_panes.h"

namespace OsUtils {

QString MacSettingsPanes::diskAdvice(const QString& reason) const {
    return QStringLiteral("无法把视频写到桌面（") + reason +
           QStringLiteral(
               "）。\n请到「系统设置 › 隐私与安全性 › 文件与文件夹」里允许「Quorvin」"
               "访问桌面，然后点「重试」。");
}

QUrl MacSettingsPanes::address(Pane pane) const {
    switch (pane) {
        case Pane::desktopAccess:
            return QUrl(QStringLiteral(
                "x-apple.systempreferences:com.apple.preference.security?Privacy_FilesAndFolders"));
        case Pane::fullDiskAccess:
            return QUrl(QStringLiteral(
                "x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles"));
    }
    return {};
}

}  // namespace OsUtils
