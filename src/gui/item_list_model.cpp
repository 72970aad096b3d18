#include "gui/item_list_model.h"

#include "gui/action_label.h"
#include "gui/platform_values.h"
#include "gui/thumbnail_provider.h"
#include "support/byte_count.h"

#include <QUrl>

namespace {

ItemListModel::PhaseKind phaseKind(Phase::Kind kind) {
    switch (kind) {
        case Phase::working:
            return ItemListModel::Working;
        case Phase::downloading:
            return ItemListModel::Downloading;
        case Phase::done:
            return ItemListModel::Done;
        case Phase::failed:
            return ItemListModel::Failed;
    }
    return ItemListModel::Working;
}

QString sizeText(const Phase& phase) {
    return phase.kind() == Phase::done && phase.size() >= 1 ? mb(phase.size()) : QString();
}

// The line under the title: what a running item does, where a saved one went, what failed.
QString statusText(const Phase& phase) {
    switch (phase.kind()) {
        case Phase::done: {
            const QString size = sizeText(phase);
            return QStringLiteral("已保存到桌面") +
                   (size.isEmpty() ? QString() : QStringLiteral(" · ") + size);
        }
        case Phase::failed:
            return phase.failure().isCancel ? QStringLiteral("已取消") : phase.failure().title;
        case Phase::working:
        case Phase::downloading:
            break;
    }
    return phase.text();
}

const QList<int> kPhaseRoles = {
    ItemListModel::phaseRole,         ItemListModel::activeRole,
    ItemListModel::fractionRole,      ItemListModel::statusTextRole,
    ItemListModel::sizeTextRole,      ItemListModel::filePathRole,
    ItemListModel::isCancelRole,      ItemListModel::failureTitleRole,
    ItemListModel::failureAdviceRole, ItemListModel::failureActionsRole,
};

}  // namespace

ItemListModel::ItemListModel(DownloadManager& manager, QObject* parent)
    : QAbstractListModel(parent), m_manager(manager) {
    connect(&m_manager, &DownloadManager::itemsChanged, this, &ItemListModel::sync);
    sync();
}

int ItemListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

QHash<int, QByteArray> ItemListModel::roleNames() const {
    return {
        {itemIdRole, "itemId"},
        {urlRole, "url"},
        {platformRole, "platform"},
        {titleRole, "title"},
        {thumbnailRole, "thumbnail"},
        {phaseRole, "phase"},
        {activeRole, "active"},
        {fractionRole, "fraction"},
        {statusTextRole, "statusText"},
        {sizeTextRole, "sizeText"},
        {filePathRole, "filePath"},
        {isCancelRole, "isCancel"},
        {failureTitleRole, "failureTitle"},
        {failureAdviceRole, "failureAdvice"},
        {failureActionsRole, "failureActions"},
    };
}

QVariant ItemListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size()) return {};
    const DownloadItem& item = *m_rows.at(index.row());
    const Phase& phase = item.phase();
    switch (role) {
        case itemIdRole:
            return item.id().toString(QUuid::WithoutBraces);
        case urlRole:
            return item.linkText();
        case platformRole:
            return platformValues(item.platform());
        case titleRole:
            return item.title();
        case thumbnailRole:
            return ThumbnailProvider::source(item.thumbnailOrEmpty());
        case phaseRole:
            return phaseKind(phase.kind());
        case activeRole:
            return phase.isActive();
        case fractionRole:
            return phase.kind() == Phase::downloading && phase.fraction()
                       ? std::clamp(*phase.fraction(), 0.0, 1.0)
                       : -1.0;
        case statusTextRole:
            return statusText(phase);
        case sizeTextRole:
            return sizeText(phase);
        case filePathRole:
            return phase.file();
        case isCancelRole:
            return phase.kind() == Phase::failed && phase.failure().isCancel;
        case failureTitleRole:
            return phase.kind() == Phase::failed ? phase.failure().title : QString();
        case failureAdviceRole:
            return phase.kind() == Phase::failed ? phase.failure().advice : QString();
        case failureActionsRole: {
            QVariantList actions;
            if (phase.kind() == Phase::failed) {
                for (const Failure::Action& action : phase.failure().actions) {
                    actions.append(QVariantMap{{QStringLiteral("key"), action.key()},
                                               {QStringLiteral("label"), actionLabel(action)}});
                }
            }
            return actions;
        }
        default:
            return {};
    }
}

DownloadManager::ItemPointer ItemListModel::item(const QString& itemId) const {
    const QUuid id = QUuid::fromString(itemId);
    for (const auto& row : m_rows) {
        if (row->id() == id) return row;
    }
    return nullptr;
}

void ItemListModel::retry(const QString& itemId) {
    if (const auto found = item(itemId)) m_manager.retry(found);
}

void ItemListModel::cancel(const QString& itemId) {
    if (const auto found = item(itemId)) m_manager.cancel(found);
}

void ItemListModel::remove(const QString& itemId) {
    if (const auto found = item(itemId)) m_manager.remove(found);
}

void ItemListModel::perform(const QString& itemId, const QString& actionKey) {
    const auto found = item(itemId);
    if (!found || found->phase().kind() != Phase::failed) return;
    for (const Failure::Action& action : found->phase().failure().actions) {
        if (action.key() == actionKey) {
            m_manager.perform(action, found);
            return;
        }
    }
}

void ItemListModel::openFile(const QString& itemId) {
    const auto found = item(itemId);
    const auto& workspace = m_manager.services().workspace;
    if (found && workspace && found->phase().kind() == Phase::done)
        workspace->openURL(QUrl::fromLocalFile(found->phase().file()));
}

void ItemListModel::revealFile(const QString& itemId) {
    const auto found = item(itemId);
    const auto& workspace = m_manager.services().workspace;
    if (found && workspace && found->phase().kind() == Phase::done)
        workspace->revealFile(found->phase().file());
}

void ItemListModel::copyLink(const QString& itemId) {
    const auto found = item(itemId);
    if (found && m_manager.services().clipboard)
        m_manager.services().clipboard->setText(found->linkText());
}

void ItemListModel::openLink(const QString& itemId) {
    const auto found = item(itemId);
    if (found && m_manager.services().workspace)
        m_manager.services().workspace->openURL(found->url());
}

void ItemListModel::watch(const DownloadManager::ItemPointer& item) {
    DownloadItem* const raw = item.get();
    connect(raw, &DownloadItem::titleChanged, this, [this, raw] { rowChanged(raw, {titleRole}); });
    connect(raw, &DownloadItem::thumbnailChanged, this,
            [this, raw] { rowChanged(raw, {thumbnailRole}); });
    connect(raw, &DownloadItem::phaseChanged, this, [this, raw] {
        rowChanged(raw, kPhaseRoles);
        Q_EMIT phasesChanged();
    });
}

void ItemListModel::rowChanged(const DownloadItem* item, const QList<int>& roles) {
    for (int row = 0; row < m_rows.size(); ++row) {
        if (m_rows.at(row).get() == item) {
            const QModelIndex at = index(row);
            Q_EMIT dataChanged(at, at, roles);
            return;
        }
    }
}

// Brings the rows in line with the manager's list with the fewest signals for the usual
// changes: a new item on top is one insert, a retried item one move, a removal one remove.
void ItemListModel::sync() {
    const QList<DownloadManager::ItemPointer>& target = m_manager.items();
    const int before = int(m_rows.size());

    for (int row = int(m_rows.size()) - 1; row >= 0; --row) {
        if (target.contains(m_rows.at(row))) continue;
        beginRemoveRows(QModelIndex(), row, row);
        const DownloadManager::ItemPointer gone = m_rows.takeAt(row);
        disconnect(gone.get(), nullptr, this, nullptr);
        endRemoveRows();
    }
    for (int row = 0; row < target.size(); ++row) {
        const DownloadManager::ItemPointer& wanted = target.at(row);
        if (row < m_rows.size() && m_rows.at(row) == wanted) continue;
        const int from = int(m_rows.indexOf(wanted));
        if (from > row) {
            beginMoveRows(QModelIndex(), from, from, QModelIndex(), row);
            m_rows.move(from, row);
            endMoveRows();
        } else {
            beginInsertRows(QModelIndex(), row, row);
            m_rows.insert(row, wanted);
            watch(wanted);
            endInsertRows();
        }
    }
    if (m_rows.size() != before) Q_EMIT countChanged();
    if (m_rows.size() != before) Q_EMIT phasesChanged();
}
