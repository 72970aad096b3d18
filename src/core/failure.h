#pragma once

#include "core/browser.h"

#include <QList>
#include <QString>

#include <optional>

// The one way any download ends badly: a short title, advice in plain Chinese and the remedies
// the row offers. Thrown by the engines; a user cancellation is a Failure with isCancel set.
struct Failure {
    class Action {
    public:
        enum Kind : quint8 {
            retry,
            loginYuanbao,
            useBrowserCookies,
            openDesktopPrivacy,
            openFullDiskAccess,
            updateTools,
            copyInstallCommand,
            openLogs,
            forgetBrowserCookies,  // downloads go on without a browser's cookies
            openLink,              // the download's link in the user's browser
            resume,                // continue an interrupted download from its kept data
            downloadAgain,         // a saved file that is gone: fetch it once more
        };

        constexpr Action(Kind kind) : m_kind(kind) {}  // NOLINT: the browser-less remedies
        static Action browserCookies(Browser browser) { return Action(useBrowserCookies, browser); }

        Kind kind() const { return m_kind; }
        // Set only for useBrowserCookies.
        std::optional<Browser> browser() const { return m_browser; }

        // "retry", "useBrowserCookies:chrome", …: the remedy's stable name.
        QString key() const;

        friend bool operator==(const Action& a, const Action& b) {
            return a.m_kind == b.m_kind && a.m_browser == b.m_browser;
        }

    private:
        Action(Kind kind, Browser browser) : m_kind(kind), m_browser(browser) {}
        Kind m_kind;
        std::optional<Browser> m_browser;
    };

    QString title;
    QString advice;
    QList<Action> actions;
    bool isCancel = false;

    // "已取消": how every engine reports a cancellation.
    static Failure cancelled();
    // "已中断": a download that was still running when Quorvin quit, crashed or lost power.
    static Failure interrupted();
    // "已中断", for an interrupted download whose kept part was cleared (too old, or too much kept
    // in all): it can only start again from zero.
    static Failure partialExpired();
    // "文件已不在桌面": a finished download whose file has since been moved or deleted.
    static Failure fileGone();

    friend bool operator==(const Failure&, const Failure&) = default;
};

size_t qHash(const Failure::Action& action, size_t seed = 0);
