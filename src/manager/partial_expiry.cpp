#include "manager/partial_expiry.h"

#include "core/background.h"
#include "manager/download_manager.h"
#include "support/log.h"
#include "support/partial_store.h"

QCoro::Task<> removeExpiredPartialData(QPointer<DownloadManager> manager, QString root) {
    const auto sweep = [root] { return PartialStore::removeExpired(root); };
    const QList<QUuid> gone = co_await offMainThread(sweep);
    for (const QUuid& id : gone) {
        Log::write(QStringLiteral("已清理过期的下载数据：") + id.toString(QUuid::WithoutBraces));
    }
    if (!manager || gone.isEmpty()) co_return;
    for (const auto& item : manager->items()) {
        const Phase& phase = item->phase();
        if (!gone.contains(item->id()) || phase.kind() != Phase::failed ||
            !phase.failure().actions.contains(Failure::Action(Failure::Action::resume)))
            continue;
        item->setPhase(Phase::makeFailed(Failure::partialExpired()));
    }
}
