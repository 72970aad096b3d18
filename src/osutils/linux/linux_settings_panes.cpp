#include "osutils/linux/linux_settings_panes.h"

#include "support/app_paths.h"

namespace {

// What cures the reason the system gave, told in the user's words.
QString diskSteps(const QString& reason) {
    const QString low = reason.toLower();
    if (low.contains(u"no space") || low.contains(u"quota")) {
        return QStringLiteral(
            "桌面所在的磁盘空间不足。请清理出一些空间（例如清空回收站、删掉不用的大文件）");
    }
    if (low.contains(u"read-only")) {
        return QStringLiteral("桌面所在的磁盘是只读的。请确认它没有以只读方式挂载");
    }
    if (low.contains(u"not a directory")) {
        return QStringLiteral("桌面的路径上有一个同名的文件，不是文件夹。请把这个文件移走或改名");
    }
    if (low.contains(u"permission denied") || low.contains(u"not permitted")) {
        return QStringLiteral("没有权限在桌面文件夹里创建文件。请确认桌面文件夹属于你、可以写入");
    }
    return QStringLiteral("请确认桌面文件夹还在、可以写入，磁盘也还有空间");
}

}  // namespace

namespace OsUtils {

QString LinuxSettingsPanes::diskAdvice(const QString& reason) const {
    return QStringLiteral("无法把视频写到桌面（") + reason + QStringLiteral("）。\n") +
           diskSteps(reason) + QStringLiteral("，然后点「重试」。");
}

QUrl LinuxSettingsPanes::address(Pane) const {
    // The nearest useful place for either refusal: the folder the files go to.
    return QUrl::fromLocalFile(AppPaths::desktop());
}

}  // namespace OsUtils
