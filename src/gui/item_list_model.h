#pragma once

#include "manager/download_manager.h"

#include <QAbstractListModel>
#include <QList>

// The manager's download list as QML sees it: one row per item, in list order, keyed by the
// item's identifier. List changes arrive as inserts, removals and moves (so rows animate in,
// out and to the top instead of the whole list being rebuilt); a change of an item's title,
// thumbnail or phase updates only that row's roles.
class ItemListModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)

public:
    enum Role {
        itemIdRole = Qt::UserRole + 1,
        urlRole,
        platformRole,  // platformValues()
        titleRole,
        thumbnailRole,  // "image://thumbnail/…"; empty while none is known or not a web address
        phaseRole,      // "working", "downloading", "done", "failed"
        activeRole,
        fractionRole,    // 0…1, or -1 while no total is known (and outside downloading)
        statusTextRole,  // working and downloading
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
