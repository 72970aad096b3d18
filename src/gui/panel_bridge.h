#pragma once

#include "gui/item_list_model.h"
#include "gui/paste_field.h"
#include "manager/download_manager.h"
#include "osutils/osutils.h"

#include <QObject>
#include <QVariantList>
#include <QVariantMap>

#include <functional>

// What the panel's QML reads from the manager and its text field, and the actions it calls. The
// manager's published values become properties with change signals; texts, dates and platform
// values are computed here in C++, so the QML only lays them out. Items are addressed by their
// identifier.
class PanelBridge : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString input READ input WRITE setInput NOTIFY inputChanged)
    Q_PROPERTY(bool hasDetected READ hasDetected NOTIFY detectedChanged)
    // platformValues() of the detected link's platform; empty while nothing is detected.
    Q_PROPERTY(QVariantMap detectedPlatform READ detectedPlatform NOTIFY detectedChanged)
    Q_PROPERTY(bool needsYuanbaoLogin READ needsYuanbaoLogin NOTIFY needsYuanbaoLoginChanged)
    Q_PROPERTY(bool hasFinished READ hasFinished NOTIFY hasFinishedChanged)
    // Only a known true counts as logged in.
    Q_PROPERTY(bool yuanbaoLoggedIn READ yuanbaoLoggedIn NOTIFY yuanbaoLoggedInChanged)
    // "yyyy-MM-dd", empty when the service did not say.
    Q_PROPERTY(QString yuanbaoUntil READ yuanbaoUntil NOTIFY yuanbaoUntilChanged)
    Q_PROPERTY(QString toolsStatus READ toolsStatus NOTIFY toolsStatusChanged)
    Q_PROPERTY(bool updatingTools READ updatingTools NOTIFY updatingToolsChanged)
    // A browser's raw value, empty for none.
    Q_PROPERTY(
        QString cookieBrowser READ cookieBrowser WRITE setCookieBrowser NOTIFY cookieBrowserChanged)
    Q_PROPERTY(int focusTick READ focusTick NOTIFY focusTickChanged)
    // {"raw", "name"} per installed browser, looked up when the menu opens.
    Q_PROPERTY(
        QVariantList installedBrowsers READ installedBrowsers NOTIFY installedBrowsersChanged)
    Q_PROPERTY(QVariantList supportedPlatforms READ supportedPlatforms CONSTANT)
    Q_PROPERTY(ItemListModel* items READ items CONSTANT)
    Q_PROPERTY(
        bool offersOldCertRemoval READ offersOldCertRemoval NOTIFY offersOldCertRemovalChanged)
    // Whether the desktop starts Quorvin at log-in (the autostart entry), read again each time
    // the menu opens: the user may have changed it in the desktop's settings.
    Q_PROPERTY(
        bool startsAtLogin READ startsAtLogin WRITE setStartsAtLogin NOTIFY startsAtLoginChanged)
    // Typographic points per pixel of this display: QML fonts are sized in pixels through it,
    // so fractional sizes such as 11.5 are kept.
    Q_PROPERTY(double pointsPerPixel READ pointsPerPixel CONSTANT)
    // The reveal button's label: the file manager as this system's users know it.
    Q_PROPERTY(QString revealLabel READ revealLabel CONSTANT)

public:
    struct Shell {
        std::function<void()> quit;
        std::function<void()> removeOldCert;  // may be empty
        std::function<void(double)> heightChanged;
        // Whether the previous edition's certificate is still there (asked when the menu opens).
        std::function<bool()> hasOldCertificate;
    };

    PanelBridge(DownloadManager& manager, PasteField& field, Shell shell,
                QObject* parent = nullptr);

    QString input() const { return m_field.input(); }
    void setInput(const QString& text) { m_field.setInput(text); }
    bool hasDetected() const { return m_field.detected().has_value(); }
    QVariantMap detectedPlatform() const;
    bool needsYuanbaoLogin() const { return m_needsYuanbaoLogin; }
    bool hasFinished() const { return m_hasFinished; }
    bool yuanbaoLoggedIn() const { return m_manager.yuanbao().loggedIn() == std::optional(true); }
    QString yuanbaoUntil() const;
    QString toolsStatus() const { return m_manager.tools().text(); }
    bool updatingTools() const { return m_manager.tools().updating(); }
    QString cookieBrowser() const;
    void setCookieBrowser(const QString& raw);
    int focusTick() const { return m_field.focusTick(); }
    QVariantList installedBrowsers() const { return m_installedBrowsers; }
    QVariantList supportedPlatforms() const;
    ItemListModel* items() { return &m_items; }
    bool offersOldCertRemoval() const { return m_offersOldCertRemoval; }
    bool startsAtLogin() const { return m_startsAtLogin; }
    void setStartsAtLogin(bool on);
    double pointsPerPixel() const;
    QString revealLabel() const { return OsUtils::fileManager().revealLabel(); }

    Q_INVOKABLE void submit() { m_field.submit(); }
    Q_INVOKABLE void retry(const QString& itemId);
    Q_INVOKABLE void cancel(const QString& itemId);
    Q_INVOKABLE void remove(const QString& itemId);
    Q_INVOKABLE void perform(const QString& itemId, const QString& actionKey);
    Q_INVOKABLE void clearFinished() { m_manager.clearFinished(); }
    Q_INVOKABLE void pasteFromClipboard() { m_field.pasteFromClipboard(); }
    Q_INVOKABLE void showYuanbaoLogin() { m_manager.showYuanbaoLogin(); }
    Q_INVOKABLE void logoutYuanbao() { m_manager.logoutYuanbao(); }
    Q_INVOKABLE void updateTools() { m_manager.tools().update(); }

    // The menu re-reads what may have changed on disk since the panel was built.
    Q_INVOKABLE void refreshMenu();
    Q_INVOKABLE void openDesktop();
    Q_INVOKABLE void openLogs();
    Q_INVOKABLE void quit();
    Q_INVOKABLE void removeOldCert();
    Q_INVOKABLE void openFile(const QString& itemId);
    Q_INVOKABLE void revealFile(const QString& itemId);
    Q_INVOKABLE void copyLink(const QString& itemId);
    Q_INVOKABLE void openLink(const QString& itemId);
    // The root item reports its height; the shell hears only changes.
    Q_INVOKABLE void reportHeight(double height);

Q_SIGNALS:
    void inputChanged();
    void detectedChanged();
    void needsYuanbaoLoginChanged();
    void hasFinishedChanged();
    void yuanbaoLoggedInChanged();
    void yuanbaoUntilChanged();
    void toolsStatusChanged();
    void updatingToolsChanged();
    void cookieBrowserChanged();
    void focusTickChanged();
    void installedBrowsersChanged();
    void offersOldCertRemovalChanged();
    void startsAtLoginChanged();

private:
    void updateNeedsYuanbaoLogin();
    void updateHasFinished();

    DownloadManager& m_manager;
    PasteField& m_field;
    Shell m_shell;
    ItemListModel m_items;
    bool m_needsYuanbaoLogin = false;
    bool m_hasFinished = false;
    bool m_offersOldCertRemoval = false;
    bool m_startsAtLogin = false;
    QVariantList m_installedBrowsers;
    double m_reportedHeight = -1;
};
