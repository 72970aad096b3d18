#include "net/problem.h"

#include "osutils/osutils.h"

#include <ostream>

namespace {

const QString kLoginSteps = QStringLiteral(
    "点下面的「登录元宝」，在弹出的窗口里点「登录」，用手机微信扫码。登录后会自动继续下载。");

// The temporary folder failed, on any system: what the system reported and what cures it.
QString temporaryFolderAdvice(const QString& detail) {
    const QString low = detail.toLower();
    QString steps = QStringLiteral("请确认临时文件夹还在、可以写入，磁盘也还有空间");
    if (low.contains(u"no space") || low.contains(u"quota") || low.contains(u"too large")) {
        steps = QStringLiteral(
            "临时文件夹所在的磁盘空间不足。请清理出一些空间（例如清空回收站、删掉不用的大文件）");
    } else if (low.contains(u"read-only")) {
        steps = QStringLiteral("临时文件夹所在的磁盘是只读的。请确认它没有以只读方式挂载");
    } else if (low.contains(u"permission denied") || low.contains(u"not permitted")) {
        steps = QStringLiteral("没有权限在临时文件夹里创建文件。请确认临时文件夹属于你、可以写入");
    }
    return QStringLiteral("无法把视频写到临时文件夹（") + detail + QStringLiteral("）。\n") +
           steps + QStringLiteral("，然后点「重试」。");
}

}  // namespace

QString Problem::title() const {
    switch (m_kind) {
        case Kind::needLogin:
            return m_expired ? QStringLiteral("腾讯元宝的登录已过期")
                             : QStringLiteral("还没有登录腾讯元宝");
        case Kind::unavailable:
            return QStringLiteral("视频号提示：") + m_detail;
        case Kind::network:
            return m_serverSide ? QStringLiteral("腾讯的服务器出错了")
                                : QStringLiteral("网络连接失败");
        case Kind::apiChanged:
            return QStringLiteral("解析接口有变化，需要升级 App");
        case Kind::disk:
            return QStringLiteral("视频保存失败");
        case Kind::notFound:
            return QStringLiteral("找不到这条视频");
        case Kind::notVideo:
            return QStringLiteral("这是图文动态，不是视频");
        case Kind::encrypted:
            return QStringLiteral("这条视频是加密的，当前版本处理不了");
        case Kind::linkExpired:
            return QStringLiteral("视频地址已失效");
        case Kind::cancelled:
            return QStringLiteral("已取消");
    }
    return {};
}

QString Problem::advice() const {
    switch (m_kind) {
        case Kind::needLogin:
            // Someone who logged in before needs only the steps; a newcomer also needs the why.
            return m_expired ? kLoginSteps
                             : QStringLiteral(
                                   "下载视频号需要借助腾讯元宝解析链接，只需登录一次"
                                   "（约两个月有效）。\n") +
                                   kLoginSteps;
        case Kind::unavailable:
            // The notice is already in the title; repeating it here would only add noise.
            return QStringLiteral(
                "这条视频目前不允许在微信以外观看（例如已删除、仅粉丝可见、审核中或有地区限制）。"
                "请先在微信里确认能否正常播放。");
        case Kind::network:
            if (m_serverSide) {
                return QStringLiteral("腾讯的服务器暂时出了问题（") + m_detail +
                       QStringLiteral("）。\n这不是你的网络或电脑的问题，请等一会儿再点「重试」。");
            }
            return QStringLiteral("连不上腾讯的服务器（") + m_detail +
                   QStringLiteral(
                       "）。\n请检查网络是否正常；如果开着 VPN 或代理，试试关掉后点「重试」。");
        case Kind::apiChanged:
            return QStringLiteral(
                       "腾讯元宝或视频号改版了，返回了无法识别的内容。请联系开发者升级「Quorvin」。"
                       "\n"
                       "详情：") +
                   m_detail;
        case Kind::disk:
            if (m_inTemporaryFolder) return temporaryFolderAdvice(m_detail);
            // Where a settings pane grants the Desktop, the advice leads there; elsewhere it
            // says what the system reported and what cures it.
            return OsUtils::settingsPanes().diskAdvice(m_detail);
        case Kind::notFound:
            return QStringLiteral(
                "可能是链接复制得不完整，或者视频已被作者删除、设为私密。\n"
                "请回到微信确认这条视频还能正常打开，然后重新「复制链接」。");
        case Kind::notVideo:
            return QStringLiteral("目前只支持下载视频。");
        case Kind::encrypted:
            return QStringLiteral("视频号可能调整了下载方式。请联系开发者升级「Quorvin」。");
        case Kind::linkExpired:
            return QStringLiteral("视频地址有时效，请点「重试」重新获取。");
        case Kind::cancelled:
            return {};
    }
    return {};
}

std::optional<Problem::Action> Problem::action() const {
    switch (m_kind) {
        case Kind::needLogin:
            return Action::login;
        case Kind::network:
        case Kind::linkExpired:
            return Action::retry;
        case Kind::disk:
            if (m_inTemporaryFolder) return Action::retry;  // the Desktop is not to blame
            return OsUtils::settingsPanes().grantsDesktopAccess() ? Action::openDesktopPrivacy
                                                                  : Action::retry;
        case Kind::apiChanged:
        case Kind::encrypted:
            return Action::openLogs;
        case Kind::unavailable:
        case Kind::notFound:
        case Kind::notVideo:
        case Kind::cancelled:
            return std::nullopt;
    }
    return std::nullopt;
}

Failure Problem::failure() const {
    // One shared cancellation value, so the manager recognises a cancel whichever engine ends.
    if (m_kind == Kind::cancelled) return Failure::cancelled();
    QList<Failure::Action> actions;
    if (const auto remedy = action()) {
        switch (*remedy) {
            case Action::login:
                actions = {Failure::Action::loginYuanbao};
                break;
            case Action::retry:
                actions = {Failure::Action::retry};
                // The log keeps the failed download's link and the system's reason.
                if (m_kind == Kind::disk) actions.append(Failure::Action::openLogs);
                break;
            case Action::openDesktopPrivacy:
                actions = {Failure::Action::openDesktopPrivacy, Failure::Action::retry};
                break;
            case Action::openLogs:
                actions = {Failure::Action::openLogs};
                break;
        }
    }
    return Failure{title(), advice(), actions, false};
}

void PrintTo(const Problem& problem, std::ostream* out) {
    *out << "Problem(" << int(problem.kind()) << ", " << problem.title().toStdString();
    if (!problem.detail().isEmpty()) *out << ", " << problem.detail().toStdString();
    *out << ")";
}
