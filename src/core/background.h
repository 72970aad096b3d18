#pragma once

#include <QFuture>
#include <QPromise>
#include <QThreadPool>

#include <qcoro/qcorofuture.h>
#include <qcoro/qcorotask.h>

#include <exception>
#include <memory>
#include <type_traits>

// The pool blocking work runs on. Not Qt's global pool: Qt's raster painting splits its larger
// fills and glyph blits across that one and waits for the parts, so a tool run or a long copy
// holding its (two, on a two-core machine) threads would hold up every frame of the panel.
QThreadPool& blockingWorkPool();

// Runs blocking work (a file copy, a tool run) on blockingWorkPool() and resumes the awaiting
// coroutine on its own thread once it is done. Exceptions travel back unchanged.
//
// The work is copied to the pool before the first suspension, so a reference parameter is safe.
// Callers keep the work in a named variable: g++ 12 destroys some temporaries of a co_await
// expression twice (seen with a capturing lambda in "co_return co_await").
template <typename Work>
auto offMainThread(const Work& work) -> QCoro::Task<std::invoke_result_t<Work>> {
    using Result = std::invoke_result_t<Work>;
    auto promise = std::make_shared<QPromise<Result>>();
    QFuture<Result> future = promise->future();
    promise->start();
    blockingWorkPool().start([promise, work]() mutable {
        try {
            if constexpr (std::is_void_v<Result>) {
                work();
            } else {
                promise->addResult(work());
            }
        } catch (...) {
            promise->setException(std::current_exception());
        }
        promise->finish();
    });
    if constexpr (std::is_void_v<Result>) {
        co_await future;  // rethrows what the work threw
    } else {
        co_return co_await future;
    }
}
