#pragma once

#include "gui/item_list_model.h"
#include "gui/panel_callbacks.h"
#include "gui/paste_field.h"
#include "manager/download_manager.h"
#include "osutils/osutils.h"

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QQuickItem>
#include <QVariantList>
#include <QVariantMap>

class QQmlEngine;
class QJSEngine;

// What the panel's QML reads from the manager and its text field, and the actions it calls, as
// the singleton `Panel` of the module Quorvin.Panel. The manager's published values become
// properties with change signals. Every text made from data (counts, dates, sizes, statuses) and
// the platform values are computed here and in the list model, so the QML holds only fixed
// labels and lays texts out. A row's actions are on the list model (`Panel.items`).
class PanelBridge : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(Panel)
    QML_SINGLETON
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
    // The menu's login line: "已登录", with " · 至 <date>" when the date is known.
    Q_PROPERTY(QString yuanbaoStateText READ yuanbaoStateText NOTIFY yuanbaoUntilChanged)
    Q_PROPERTY(QString toolsStatus READ toolsStatus NOTIFY toolsStatusChanged)
    Q_PROPERTY(bool updatingTools READ updatingTools NOTIFY updatingToolsChanged)
    // The menu's tools entry, with the tools' status or while they update.
    Q_PROPERTY(QString updateToolsText READ updateToolsText NOTIFY updateToolsTextChanged)
    // How the last "更新下载组件" went, until dismissed, and the command it leaves to the user.
    Q_PROPERTY(QString updateResult READ updateResult NOTIFY updateResultChanged)
    Q_PROPERTY(QString updateCommand READ updateCommand NOTIFY updateResultChanged)
    // A browser's raw value, empty for none.
    Q_PROPERTY(
        QString cookieBrowser READ cookieBrowser WRITE setCookieBrowser NOTIFY cookieBrowserChanged)
    Q_PROPERTY(int focusTick READ focusTick NOTIFY focusTickChanged)
    // Why the last drop on the panel was refused, until the field changes; empty otherwise.
    Q_PROPERTY(QString dropHint READ dropHint NOTIFY dropHintChanged)
    // {"raw", "name"} per installed browser, looked up when the menu opens.
    Q_PROPERTY(
        QVariantList installedBrowsers READ installedBrowsers NOTIFY installedBrowsersChanged)
    Q_PROPERTY(QVariantList supportedPlatforms READ supportedPlatforms CONSTANT)
    Q_PROPERTY(ItemListModel* items READ items CONSTANT)
    // The list's heading: "下载 · <count>".
    Q_PROPERTY(QString listTitle READ listTitle NOTIFY listTitleChanged)
    Q_PROPERTY(
        bool offersOldCertRemoval READ offersOldCertRemoval NOTIFY offersOldCertRemovalChanged)
    // Whether the desktop starts Quorvin at log-in (the autostart entry), read again each time
    // the menu opens: the user may have changed it in the desktop's settings.
    Q_PROPERTY(
        bool startsAtLogin READ startsAtLogin WRITE setStartsAtLogin NOTIFY startsAtLoginChanged)
    // Whether downloads that end while the panel is hidden are announced through the desktop's
    // notifications (the setting "notifyWhenDone"), read again each time the menu opens.
    Q_PROPERTY(bool notifyWhenDone READ notifyWhenDone WRITE setNotifyWhenDone NOTIFY
                   notifyWhenDoneChanged)
    // Typographic points (1/72 inch) per logical pixel on this display. The QML sets font sizes
    // in points through it (font.pixelSize would round 11.5 to a whole pixel).
    Q_PROPERTY(double pointsPerPixel READ pointsPerPixel CONSTANT)
    // The reveal button's label: the file manager as this system's users know it.
    Q_PROPERTY(QString revealLabel READ revealLabel CONSTANT)
    // Whether the window around the panel shows through where the panel draws nothing: then the
    // panel has round corners and a shadow, else square corners and its frame alone.
    Q_PROPERTY(bool translucent READ translucent CONSTANT)

public:
    PanelBridge(DownloadManager& manager, PasteField& field, PanelCallbacks callbacks,
                QObject* parent = nullptr);
    ~PanelBridge() override;

    // The bridge that `engine`'s panel reaches as `Panel`: given before the QML is loaded.
    static void provide(QQmlEngine& engine, PanelBridge* bridge);
    // QML's factory of the singleton: the provided bridge, owned by C++.
    static PanelBridge* create(QQmlEngine* engine, QJSEngine*);

    QString input() const { return m_field.input(); }
    void setInput(const QString& text) { m_field.setInput(text); }
    bool hasDetected() const { return m_field.detected().has_value(); }
    QVariantMap detectedPlatform() const;
    bool needsYuanbaoLogin() const { return m_needsYuanbaoLogin; }
    bool hasFinished() const { return m_hasFinished; }
    bool yuanbaoLoggedIn() const { return m_manager.yuanbao().loggedIn() == std::optional(true); }
    QString yuanbaoUntil() const;
    QString yuanbaoStateText() const;
    QString updateToolsText() const;
    QString updateResult() const { return m_manager.tools().lastUpdate(); }
    QString updateCommand() const { return m_manager.tools().lastUpdateCommand(); }
    QString listTitle() const;
    QString toolsStatus() const { return m_manager.tools().text(); }
    bool updatingTools() const { return m_manager.tools().updating(); }
    QString cookieBrowser() const;
    void setCookieBrowser(const QString& raw);
    int focusTick() const { return m_field.focusTick(); }
    QString dropHint() const { return m_field.dropHint(); }
    QVariantList installedBrowsers() const { return m_installedBrowsers; }
    QVariantList supportedPlatforms() const;
    ItemListModel* items() { return &m_items; }
    bool offersOldCertRemoval() const { return m_offersOldCertRemoval; }
    bool startsAtLogin() const { return m_startsAtLogin; }
    void setStartsAtLogin(bool on);
    bool notifyWhenDone() const { return m_notifyWhenDone; }
    void setNotifyWhenDone(bool on);
    double pointsPerPixel() const;
    QString revealLabel() const { return OsUtils::fileManager().revealLabel(); }
    bool translucent() const { return m_callbacks.translucent; }

    Q_INVOKABLE void submit() { m_field.submit(); }
    Q_INVOKABLE void clearFinished() { m_manager.clearFinished(); }
    // Moves `item` before its sibling `next` in their parent's order, which the Tab chain follows.
    Q_INVOKABLE void stackBefore(QQuickItem* item, QQuickItem* next) {
        if (item && next && item != next && item->parentItem() == next->parentItem())
            item->stackBefore(next);
    }
    Q_INVOKABLE void pasteFromClipboard() { m_field.pasteFromClipboard(); }
    // Links and text dropped on the panel; false when refused.
    Q_INVOKABLE bool drop(const QList<QUrl>& links, const QString& text) {
        return m_field.fillFromDrop(links, text);
    }
    Q_INVOKABLE void showYuanbaoLogin() { m_manager.showYuanbaoLogin(); }
    Q_INVOKABLE void logoutYuanbao() { m_manager.logoutYuanbao(); }
    Q_INVOKABLE void updateTools() { m_manager.tools().update(); }
    Q_INVOKABLE void copyUpdateCommand();
    Q_INVOKABLE void dismissUpdateResult() { m_manager.tools().dismissLastUpdate(); }

    // The menu re-reads what may have changed on disk since the panel was built.
    Q_INVOKABLE void refreshMenu();
    Q_INVOKABLE void openDesktop();
    Q_INVOKABLE void openLogs();
    Q_INVOKABLE void quit();
    Q_INVOKABLE void removeOldCert();
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
    void updateToolsTextChanged();
    void updateResultChanged();
    void listTitleChanged();
    void cookieBrowserChanged();
    void focusTickChanged();
    void dropHintChanged();
    void installedBrowsersChanged();
    void offersOldCertRemovalChanged();
    void startsAtLoginChanged();
    void notifyWhenDoneChanged();

private:
    void updateNeedsYuanbaoLogin();
    void updateHasFinished();

    DownloadManager& m_manager;
    PasteField& m_field;
    PanelCallbacks m_callbacks;
    ItemListModel m_items;
    bool m_needsYuanbaoLogin = false;
    bool m_hasFinished = false;
    bool m_offersOldCertRemoval = false;
    bool m_startsAtLogin = false;
    bool m_notifyWhenDone = true;
    QVariantList m_installedBrowsers;
    double m_reportedHeight = -1;
};
