#include "gui/action_label.h"

QString actionLabel(const Failure::Action& action) {
    switch (action.kind()) {
        case Failure::Action::useBrowserCookies:
            return QStringLiteral("使用 ") +
                   (action.browser() ? action.browser()->name() : QString()) +
                   QStringLiteral(" 的登录信息重试");
        case Failure::Action::retry:
            return QStringLiteral("重试");
        case Failure::Action::loginYuanbao:
            return QStringLiteral("登录元宝");
        case Failure::Action::openDesktopPrivacy:
            return QStringLiteral("打开隐私设置");
        case Failure::Action::openFullDiskAccess:
            return QStringLiteral("打开完全磁盘访问设置");
        case Failure::Action::updateTools:
            return QStringLiteral("更新下载组件");
        case Failure::Action::copyInstallCommand:
            return QStringLiteral("复制安装命令");
        case Failure::Action::openLogs:
            return QStringLiteral("查看日志");
        case Failure::Action::forgetBrowserCookies:
            return QStringLiteral("不使用浏览器登录信息");
        case Failure::Action::openLink:
            return QStringLiteral("在浏览器中打开");
        case Failure::Action::resume:
            return QStringLiteral("继续下载");
        case Failure::Action::downloadAgain:
            return QStringLiteral("重新下载");
    }
    return {};
}
