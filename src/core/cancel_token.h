#pragma once

#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <functional>
#include <map>
#include <memory>

// The one cancellation mechanism of both engines. A run holds a shared token; cancel() marks it
// and calls every registered stopper once (terminate yt-dlp's process group, abort a transfer,
// abort a pending request). Engines also check it after each stage and throw the cancellation
// failure. Safe from any thread; stoppers run on the thread that cancels.
//
// A stop has a reason: the user's cancel throws the work away, while an interrupt (Quorvin
// quitting) stops the same processes and transfers but leaves the data kept so far where it can
// be continued. The first reason given is the one that counts.
class CancelToken {
public:
    using Stopper = std::function<void()>;
    enum class Reason : quint8 { cancel, interrupt };

    static std::shared_ptr<CancelToken> make() { return std::make_shared<CancelToken>(); }

    void cancel(Reason reason = Reason::cancel);
    void interrupt() { cancel(Reason::interrupt); }
    bool isCancelled() const { return m_cancelled.load(std::memory_order_acquire); }
    // Set before isCancelled() turns true, so a reader that sees the stop sees its reason.
    bool isInterrupted() const {
        return isCancelled() && m_reason.load(std::memory_order_acquire) == Reason::interrupt;
    }

    // Registers a stopper and returns its id. When the token is cancelled already, the stopper
    // runs at once (and 0 is returned).
    int onCancel(Stopper stopper);
    // Unregisters a stopper. If cancel() is running it on another thread right now, waits until
    // it has returned, so whatever it uses may be destroyed afterwards.
    void removeStopper(int id);

    // Throws Failure::cancelled() when the token has been cancelled.
    void throwIfCancelled() const;

private:
    std::atomic<bool> m_cancelled{false};
    std::atomic<Reason> m_reason{Reason::cancel};
    QMutex m_mutex;
    QWaitCondition m_stopperDone;
    std::map<int, Stopper> m_stoppers;  // registered; after cancel(): the ones still to run
    int m_running = 0;                  // the stopper cancel() is running now, 0 when none
    Qt::HANDLE m_cancellingThread = nullptr;
    int m_nextId = 1;
};

// Registers a stopper for the lifetime of a scope (for example one HTTP request).
class CancelScope {
public:
    CancelScope(const std::shared_ptr<CancelToken>& token, CancelToken::Stopper stopper);
    ~CancelScope();
    CancelScope(const CancelScope&) = delete;
    CancelScope& operator=(const CancelScope&) = delete;

private:
    std::shared_ptr<CancelToken> m_token;
    int m_id = 0;
};
