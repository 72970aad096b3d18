#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QUuid>

#include <chrono>
#include <functional>
#include <memory>

class DownloadItem;
class DownloadManager;
class Workspace;

// Tells the user that downloads ended while the panel was hidden (they were in another window),
// through the desktop's notification service (org.freedesktop.Notifications), whose
// notifications carry buttons: a save offers "打开" and "在文件管理器中显示"; a failure shows its
// title and the first sentence of its advice, and "查看" opens the panel at its row. Saves that
// end within two seconds of each other make one notification. Nothing is sent while the panel
// shows, for a cancel, or when the user turned it off ("完成时通知"). Without a notification
// service every call simply goes nowhere.
class DesktopNotifications : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kGroupWindow{2000};

    struct Hooks {
        std::function<bool()> panelVisible;
        // Brings the panel forward at this item's row.
        std::function<void(const QUuid& item)> showItem;
        std::shared_ptr<Workspace> workspace;
    };

    DesktopNotifications(DownloadManager& manager, Hooks hooks, QObject* parent = nullptr);

private Q_SLOTS:
    void onActionInvoked(uint id, const QString& action);
    void onClosed(uint id, uint reason);

private:
    struct Saved {
        QString title;
        QString file;
    };
    using ActionHandler = std::function<void(const QString& action)>;

    void watchNewItems();
    void onPhaseChanged(DownloadItem* item);
    void sendSaves();
    // Labels come in pairs with their keys: {"open", "打开", …}.
    void send(const QString& summary, const QString& body, const QStringList& actions,
              ActionHandler onAction);
    bool quiet() const;

    DownloadManager& m_manager;
    Hooks m_hooks;
    QSet<QUuid> m_watched;
    QList<Saved> m_pendingSaves;
    QTimer m_groupTimer;
    bool m_serverTakesActions = true;
    QHash<uint, ActionHandler> m_handlers;
};
