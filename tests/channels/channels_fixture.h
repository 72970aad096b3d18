#pragma once

#include "channels/cookie_jar.h"
#include "common/http_test_server.h"
#include "common/test_media.h"
#include "common/test_support.h"
#include "net/problem.h"

#include <gtest/gtest.h>

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QNetworkCookie>

#include <optional>

namespace ChannelsTest {

// The one server of this test process. The engine reads its origins once per process, so the
// server starts (and the variables point at it) before any test can touch the engine: see the
// static initialiser in channels_fixture.cpp. Tests swap the handler, not the server.
HttpTestServer& server();

// How a task ended: its value, the Problem it threw, or something else it threw.
template <typename T>
struct Outcome {
    std::optional<T> value;
    std::optional<Problem> problem;
    bool otherError = false;
    bool finished = false;
};

template <typename T>
QCoro::Task<> settle(QCoro::Task<T> task, Outcome<T>* outcome) {
    try {
        outcome->value = co_await task;
    } catch (const Problem& problem) {
        outcome->problem = problem;
    } catch (...) {
        outcome->otherError = true;
    }
    outcome->finished = true;
}

// Runs the event loop until `task` ends (QCoro::waitFor never returns when a task throws).
template <typename T>
Outcome<T> outcomeOf(QCoro::Task<T>&& task,
                     std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    Outcome<T> outcome;
    settle(std::move(task), &outcome);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return outcome.finished; }, timeout))
        << "the task did not end in time";
    return outcome;
}

QNetworkCookie cookie(const QByteArray& name, const QByteArray& value, const QString& domain,
                      std::optional<QDateTime> expires = std::nullopt);

using TestMedia::mp4Bytes;

}  // namespace ChannelsTest
