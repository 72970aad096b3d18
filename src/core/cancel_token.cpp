#include "core/cancel_token.h"

#include "sites/failure.h"

void CancelToken::cancel() {
    std::map<int, Stopper> stoppers;
    {
        QMutexLocker lock(&m_mutex);
        if (m_cancelled.exchange(true, std::memory_order_acq_rel)) return;
        stoppers.swap(m_stoppers);
    }
    // Called outside the lock: a stopper may unregister other stoppers as it unwinds.
    for (auto& [id, stopper] : stoppers) stopper();
}

int CancelToken::onCancel(Stopper stopper) {
    {
        QMutexLocker lock(&m_mutex);
        if (!isCancelled()) {
            const int id = m_nextId++;
            m_stoppers.emplace(id, std::move(stopper));
            return id;
        }
    }
    stopper();
    return 0;
}

void CancelToken::removeStopper(int id) {
    QMutexLocker lock(&m_mutex);
    m_stoppers.erase(id);
}

void CancelToken::throwIfCancelled() const {
    if (isCancelled()) throw Failure::cancelled();
}

CancelScope::CancelScope(const std::shared_ptr<CancelToken>& token, CancelToken::Stopper stopper)
    : m_token(token) {
    if (m_token) m_id = m_token->onCancel(std::move(stopper));
}

CancelScope::~CancelScope() {
    if (m_token && m_id != 0) m_token->removeStopper(m_id);
}
