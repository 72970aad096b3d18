#include "core/cancel_token.h"

#include "core/failure.h"

void CancelToken::cancel(Reason reason) {
    QMutexLocker lock(&m_mutex);
    if (m_cancelled.load(std::memory_order_acquire)) return;
    m_reason.store(reason, std::memory_order_release);
    m_cancelled.store(true, std::memory_order_release);
    m_cancellingThread = QThread::currentThreadId();
    // One stopper at a time, each run outside the lock: aborting a transfer may resume a
    // coroutine at once, which unregisters other stoppers as it unwinds (those then never run).
    while (!m_stoppers.empty()) {
        auto next = m_stoppers.begin();
        const int id = next->first;
        Stopper stopper = std::move(next->second);
        m_stoppers.erase(next);
        m_running = id;
        lock.unlock();
        stopper();
        lock.relock();
        m_running = 0;
        m_stopperDone.wakeAll();
    }
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
    while (m_running == id && m_cancellingThread != QThread::currentThreadId()) {
        m_stopperDone.wait(&m_mutex);
    }
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
