#include "core/failure.h"

#include <QHashFunctions>

QString Failure::Action::key() const {
    switch (m_kind) {
        case retry:
            return QStringLiteral("retry");
        case loginYuanbao:
            return QStringLiteral("loginYuanbao");
        case useBrowserCookies:
            return QStringLiteral("useBrowserCookies:") +
                   (m_browser ? m_browser->rawValue() : QString());
        case openDesktopPrivacy:
            return QStringLiteral("openDesktopPrivacy");
        case openFullDiskAccess:
            return QStringLiteral("openFullDiskAccess");
        case updateTools:
            return QStringLiteral("updateTools");
        case copyInstallCommand:
            return QStringLiteral("copyInstallCommand");
        case openLogs:
            return QStringLiteral("openLogs");
        case forgetBrowserCookies:
            return QStringLiteral("forgetBrowserCookies");
        case openLink:
            return QStringLiteral("openLink");
        case resume:
            return QStringLiteral("resume");
        case downloadAgain:
            return QStringLiteral("downloadAgain");
    }
    return {};
}

Failure Failure::cancelled() {
    return Failure{QStringLiteral("已取消"), QString(), {}, true};
}

Failure Failure::interrupted() {
    return Failure{
        QStringLiteral("已中断"),
        QStringLiteral(
            "Quorvin 退出时这个视频还没有下载完。已下载的部分保留着，继续下载会从中断处接着下载。"),
        {Action::resume},
        false};
}

Failure Failure::partialExpired() {
    return Failure{QStringLiteral("已中断"),
                   QStringLiteral("已下载的部分放得太久（超过 7 天）或占用空间太多，已被清理。"
                                  "点「重新下载」会从头开始下载。"),
                   {Action::downloadAgain},
                   false};
}

Failure Failure::fileGone() {
    return Failure{QStringLiteral("文件已不在桌面"),
                   QStringLiteral("下载好的文件已被移走或删除。需要的话可以重新下载。"),
                   {Action::downloadAgain},
                   false};
}

size_t qHash(const Failure::Action& action, size_t seed) {
    return qHashMulti(seed, int(action.kind()),
                      action.browser() ? int(action.browser()->value()) : -1);
}
