#include "app/desktop_notifications.h"

#include "core/download_item.h"
#include "manager/download_manager.h"
#include "support/names.h"
#include "support/settings.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QUrl>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

// The advice's first sentence: up to its first full stop or line end.
QString firstSentence(const QString& advice) {
    for (qsizetype i = 0; i < advice.size(); ++i) {
        if (advice[i] == u'。' || advice[i] == u'！' || advice[i] == u'？')
            return advice.left(i + 1);
        if (advice[i] == u'\n') return advice.left(i);
    }
    return advice;
}

}  // namespace

DesktopNotifications::DesktopNotifications(DownloadManager& manager, Hooks hooks, QObject* parent)
    : QObject(parent), m_manager(manager), m_hooks(std::move(hooks)) {
    m_groupTimer.setSingleShot(true);
    // Tests widen the window so that "at about the same time" holds on a loaded machine.
    bool set = false;
    const int testWindow = qEnvironmentVariableIntValue("QUORVIN_NOTIFY_GROUP_MS", &set);
    m_groupTimer.setInterval(set && testWindow > 0 ? std::chrono::milliseconds(testWindow)
                                                   : kGroupWindow);
    connect(&m_groupTimer, &QTimer::timeout, this, &DesktopNotifications::sendSaves);
    connect(&m_manager, &DownloadManager::itemsChanged, this, &DesktopNotifications::watchNewItems);
    watchNewItems();

    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                SLOT(onActionInvoked(uint, QString)));
    bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                SLOT(onClosed(uint, uint)));
    // A server without buttons shows them as nothing, or as clutter: ask once what it draws.
    auto* watcher = new QDBusPendingCallWatcher(
        bus.asyncCall(QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                     QStringLiteral("GetCapabilities"))),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        const QDBusPendingReply<QStringList> reply = *watcher;
        if (!reply.isError())
            m_serverTakesActions = reply.value().contains(QStringLiteral("actions"));
        watcher->deleteLater();
    });
}

void DesktopNotifications::watchNewItems() {
    QSet<QUuid> present;
    for (const auto& item : m_manager.items()) {
        present.insert(item->id());
        if (m_watched.contains(item->id())) continue;
        DownloadItem* raw = item.get();
        connect(raw, &DownloadItem::phaseChanged, this, [this, raw] { onPhaseChanged(raw); });
    }
    m_watched = present;
}

bool DesktopNotifications::quiet() const {
    return !Settings::notifyWhenDone() || (m_hooks.panelVisible && m_hooks.panelVisible());
}

void DesktopNotifications::onPhaseChanged(DownloadItem* item) {
    const Phase& phase = item->phase();
    if (quiet()) return;
    if (phase.kind() == Phase::done) {
        m_pendingSaves.append(Saved{item->title(), phase.file()});
        m_groupTimer.start();  // a save within the window joins this notification
    } else if (phase.kind() == Phase::failed && !phase.failure().isCancel) {
        const QUuid id = item->id();
        send(phase.failure().title, firstSentence(phase.failure().advice),
             {QStringLiteral("default"), QString(), QStringLiteral("view"), QStringLiteral("查看")},
             [this, id](const QString&) {
                 if (m_hooks.showItem) m_hooks.showItem(id);
             });
    }
}

void DesktopNotifications::sendSaves() {
    // Whether to tell was decided as each download ended: the panel that comes forward once
    // the list is idle must not swallow the news of what made it come.
    const QList<Saved> saves = std::exchange(m_pendingSaves, {});
    if (saves.isEmpty()) return;
    const Saved& newest = saves.last();
    const auto reveal = [this, file = newest.file] {
        if (m_hooks.workspace) m_hooks.workspace->revealFile(file);
    };
    if (saves.size() == 1) {
        send(QStringLiteral("已保存到桌面"),
             newest.title.isEmpty() ? QFileInfo(newest.file).fileName() : newest.title,
             {QStringLiteral("default"), QString(), QStringLiteral("open"), QStringLiteral("打开"),
              QStringLiteral("reveal"), QStringLiteral("在文件管理器中显示")},
             [this, reveal, file = newest.file](const QString& action) {
                 if (action == u"open" && m_hooks.workspace) {
                     m_hooks.workspace->openURL(QUrl::fromLocalFile(file));
                 } else {
                     reveal();
                 }
             });
        return;
    }
    QStringList titles;
    for (const Saved& save : saves) titles.append(save.title);
    send(QString::number(saves.size()) + QStringLiteral(" 个视频已保存到桌面"), titles.join(u'\n'),
         {QStringLiteral("default"), QString(), QStringLiteral("reveal"),
          QStringLiteral("在文件管理器中显示")},
         [reveal](const QString&) { reveal(); });
}

void DesktopNotifications::send(const QString& summary, const QString& body,
                                const QStringList& actions, ActionHandler onAction) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), Names::desktopId()}};
    call << QStringLiteral("Quorvin") << uint(0) << Names::desktopId() << summary << body
         << (m_serverTakesActions ? actions : QStringList()) << hints << int(-1);
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, onAction = std::move(onAction)] {
                const QDBusPendingReply<uint> reply = *watcher;
                if (!reply.isError()) m_handlers.insert(reply.value(), onAction);
                watcher->deleteLater();
            });
}

void DesktopNotifications::onActionInvoked(uint id, const QString& action) {
    const ActionHandler handler = m_handlers.take(id);
    if (handler) handler(action);
}

void DesktopNotifications::onClosed(uint id, uint /*reason*/) {
    m_handlers.remove(id);
}
