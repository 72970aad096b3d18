#pragma once

#include "core/browser.h"
#include "core/download_item.h"
#include "core/failure.h"
#include "core/platform.h"
#include "manager/desktop_services.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <functional>
#include <memory>
#include <optional>

// The spine of Quorvin: the input field's text and the link found in it, the list of
// downloads (newest first), the engines that run them, and the commands around them (clipboard
// autofill, failure remedies, Yuanbao login, tool status and update). Main thread only; every
// published field has its own change signal.
class DownloadManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString input READ input WRITE setInput NOTIFY inputChanged)
    Q_PROPERTY(QString toolsStatus READ toolsStatus NOTIFY toolsStatusChanged)
    Q_PROPERTY(bool updatingTools READ updatingTools NOTIFY updatingToolsChanged)
    Q_PROPERTY(int focusTick READ focusTick NOTIFY focusTickChanged)

public:
    using ItemPointer = std::shared_ptr<DownloadItem>;

    struct Detected {
        QUrl url;
        Platform platform;
        friend bool operator==(const Detected&, const Detected&) = default;
    };

    explicit DownloadManager(DesktopServices services, QObject* parent = nullptr);
    ~DownloadManager() override;

    // --- published state
    QString input() const { return m_input; }
    void setInput(const QString& text);  // detects at once
    const std::optional<Detected>& detected() const { return m_detected; }
    const QList<ItemPointer>& items() const { return m_items; }
    std::optional<bool> yuanbaoLoggedIn() const { return m_yuanbaoLoggedIn; }
    std::optional<QDateTime> yuanbaoUntil() const { return m_yuanbaoUntil; }
    QString toolsStatus() const { return m_toolsStatus; }
    bool updatingTools() const { return m_updatingTools; }
    std::optional<Browser> cookieBrowser() const { return m_cookieBrowser; }
    void setCookieBrowser(std::optional<Browser> browser);  // remembered for the next start
    int focusTick() const { return m_focusTick; }
    std::optional<QString> lastAutofill() const { return m_lastAutofill; }
    bool hasLoginWindow() const { return m_loginWindow != nullptr; }
    // The desktop it was given; the panel opens files and links through the same services.
    const DesktopServices& services() const { return m_services; }

    bool hasActive() const;
    bool hasFinished() const;
    bool needsYuanbaoLogin() const;

    // Installed by the shell: whether any download is active after a change, and a request to
    // bring the panel forward.
    std::function<void(bool)> onActiveChange;
    std::function<void()> requestShow;

    // --- the download list
    void submit();
    void retry(const ItemPointer& item);
    void cancel(const ItemPointer& item);
    void remove(const ItemPointer& item);
    void clearFinished();
    void cancelAll();

    // --- commands
    void prepareForShow();
    void pasteFromClipboard();
    void perform(const Failure::Action& action, const ItemPointer& item);
    void showYuanbaoLogin(const ItemPointer& thenRetry = nullptr);
    void refreshStatus();
    void logoutYuanbao();
    void updateTools();

    // The text a link is compared and logged by.
    static QString absoluteString(const QUrl& url);

Q_SIGNALS:
    void inputChanged();
    void detectedChanged();
    void itemsChanged();
    void yuanbaoLoggedInChanged();
    void yuanbaoUntilChanged();
    void toolsStatusChanged();
    void updatingToolsChanged();
    void cookieBrowserChanged();
    void focusTickChanged();

private:
    void run(const ItemPointer& item);
    QCoro::Task<> runTask(ItemPointer item, std::shared_ptr<CancelToken> token);
    QCoro::Task<QString> downloadChannels(ItemPointer item, std::shared_ptr<CancelToken> token);
    void onLoginFinished(bool loggedIn, const ItemPointer& thenRetry);
    void moveToTop(const ItemPointer& item);
    void reportActive();
    void setYuanbaoLoggedIn(std::optional<bool> value);
    void setYuanbaoUntil(std::optional<QDateTime> value);
    void setToolsStatus(const QString& status);
    void setUpdatingTools(bool updating);

    DesktopServices m_services;
    QString m_input;
    std::optional<Detected> m_detected;
    QList<ItemPointer> m_items;
    std::optional<bool> m_yuanbaoLoggedIn;
    std::optional<QDateTime> m_yuanbaoUntil;
    QString m_toolsStatus;
    bool m_updatingTools = false;
    std::optional<Browser> m_cookieBrowser;
    int m_focusTick = 0;
    std::optional<QString> m_lastAutofill;
    std::shared_ptr<LoginWindow> m_loginWindow;
};

// Turns whatever a download threw into the failure its row shows.
Failure classifyDownloadError(std::exception_ptr error);
