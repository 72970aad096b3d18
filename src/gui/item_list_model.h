#pragma once

#include "manager/download_manager.h"

#include <QtQml/qqmlregistration.h>
#include <QAbstractListModel>
#include <QList>

// The manager's download list as QML sees it: one row per item, in list order, keyed by the
// item's identifier, with the actions a row offers. List changes arrive as inserts, removals
// and moves (so rows animate in, out and to the top instead of the whole list being rebuilt);
// a change of an item's title, thumbnail or phase updates only that row's roles.
class ItemListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The panel's list comes from Panel.items.")
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)

public:
    // A row's phase as QML compares it.
    enum PhaseKind { Working, Downloading, Done, Failed };
    Q_ENUM(PhaseKind)

    enum Role {
        itemIdRole = Qt::UserRole + 1,
        urlRole,
        platformRole,  // platformValues()
        titleRole,
        thumbnailRole,  // "image://thumbnail/…"; empty while none is known or not a web address
        phaseRole,      // PhaseKind
        activeRole,
        fractionRole,    // 0…1, or -1 while no total is known (and outside downloading)
        statusTextRole,  // the row's status line, in every phase
        sizeTextRole,    // done: "%.1f MB", empty for 0 bytes
        filePathRole,    // done
        isCancelRole,    // failed
        failureTitleRole,
        failureAdviceRole,
        failureActionsRole,  // list of {"key", "label"}, first is the primary remedy
    };

    explicit ItemListModel(DownloadManager& manager, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // The item with this identifier, if it is listed.
    DownloadManager::ItemPointer item(const QString& itemId) const;

    // A row's actions, by the item's identifier; an item that has left the list is ignored.
    Q_INVOKABLE void retry(const QString& itemId);
    Q_INVOKABLE void cancel(const QString& itemId);
    Q_INVOKABLE void remove(const QString& itemId);
    // One of a failure's remedies, by its key.
    Q_INVOKABLE void perform(const QString& itemId, const QString& actionKey);
    Q_INVOKABLE void openFile(const QString& itemId);
    Q_INVOKABLE void revealFile(const QString& itemId);
    Q_INVOKABLE void copyLink(const QString& itemId);
    Q_INVOKABLE void openLink(const QString& itemId);

Q_SIGNALS:
    void countChanged();
    // Any row's phase changed (the panel re-reads whether something has finished).
    void phasesChanged();

private:
    void sync();
    void watch(const DownloadManager::ItemPointer& item);
    void rowChanged(const DownloadItem* item, const QList<int>& roles);

    DownloadManager& m_manager;
    QList<DownloadManager::ItemPointer> m_rows;
};
