#pragma once

#include "core/browser.h"
#include "core/download_item.h"
#include "core/failure.h"
#include "core/platform.h"
#include "manager/desktop_services.h"
#include "manager/tools_status.h"
#include "manager/yuanbao_status.h"
#include "sites/ytdlp.h"

#include <QObject>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <memory>
#include <optional>

// The spine of Quorvin: the list of downloads (newest first) and its life cycle. It turns a
// submitted link into an item, runs it through the engine of its platform, and carries out the
// remedies of a failure, the Yuanbao login among them. The tools' status and the login state
// are published by their own objects. Main thread only; every published field has its own
// change signal.
class DownloadManager : public QObject {
    Q_OBJECT

public:
    using ItemPointer = std::shared_ptr<DownloadItem>;

    // `settings`: what the site engine runs with (the program passes the defaults).
    DownloadManager(DesktopServices services, YtDlp::Settings settings, QObject* parent = nullptr);
    ~DownloadManager() override;

    // --- published state
    const QList<ItemPointer>& items() const { return m_items; }
    ToolsStatus& tools() { return m_tools; }
    YuanbaoStatus& yuanbao() { return m_yuanbao; }
    std::optional<Browser> cookieBrowser() const { return m_cookieBrowser; }
    void setCookieBrowser(std::optional<Browser> browser);  // remembered for the next start
    bool hasLoginWindow() const { return m_loginWindow != nullptr; }
    // The desktop it was given; the panel opens files and links through the same services.
    const DesktopServices& services() const { return m_services; }

    bool hasActive() const;
    bool hasFinished() const;
    // Whether an active item downloads this link (compared by its link text).
    bool isDownloading(const QUrl& url) const;

    // --- the download list
    // Starts downloading the link in a new item on top, or brings the active item that already
    // downloads it to the top without restarting it. Returns that item.
    ItemPointer submit(const QUrl& url, Platform platform);
    // `continuing`: from the data the last attempt kept, when it was interrupted.
    void retry(const ItemPointer& item, bool continuing = false);
    // "继续下载".
    void resume(const ItemPointer& item) { retry(item, true); }
    void cancel(const ItemPointer& item);
    void remove(const ItemPointer& item);
    void clearFinished();
    void cancelAll() { stopAll(CancelToken::Reason::cancel); }
    // Stops every running download as cancelAll() does, but keeps what each has fetched so far
    // and leaves it "已中断" (Quorvin is quitting).
    void interruptAll() { stopAll(CancelToken::Reason::interrupt); }
    // Where downloads keep their partial data; without it (quorvin-cli) nothing is kept.
    void keepPartialData(const QString& root) { m_partialRoot = root; }
    // Items brought back from an earlier run, placed below the listed ones; none of them runs.
    void restore(const QList<ItemPointer>& items);

    // --- commands
    void perform(const Failure::Action& action, const ItemPointer& item);
    void showYuanbaoLogin(const ItemPointer& thenRetry = nullptr);
    void refreshStatus();
    void logoutYuanbao();

Q_SIGNALS:
    void itemsChanged();
    void cookieBrowserChanged();
    // Whether any download is active, after every run start and end.
    void activeChanged(bool active);
    // The panel should come forward: a batch has ended, or the login window has closed.
    void showRequested();

private:
    void run(const ItemPointer& item, bool continuing = false);
    QCoro::Task<> runTask(ItemPointer item, std::shared_ptr<CancelToken> token, bool continuing);
    void stopAll(CancelToken::Reason reason);
    void onLoginFinished(bool loggedIn, const ItemPointer& thenRetry);
    void moveToTop(const ItemPointer& item);
    void reportActive();

    DesktopServices m_services;
    const YtDlp::Settings m_settings;
    QList<ItemPointer> m_items;
    ToolsStatus m_tools;
    YuanbaoStatus m_yuanbao;
    std::optional<Browser> m_cookieBrowser;
    QString m_partialRoot;
    std::shared_ptr<LoginWindow> m_loginWindow;
};
