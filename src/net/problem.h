#pragma once

#include "core/failure.h"

#include <QString>

#include <optional>

// Every way the Channels engine can fail, as one thrown value. The download manager shows
// failure(); the title, advice and remedy of each case are fixed texts.
class Problem {
public:
    enum class Kind : quint8 {
        needLogin,    // no usable Yuanbao login; expired() tells whether one existed before
        unavailable,  // the Channels service refuses the post; detail() is its own notice
        network,      // transport failure or an unexpected video-server status; detail() names both
        apiChanged,   // a reply the engine cannot read; detail() is a short technical note
        disk,         // the file cannot be saved; detail() is the system's reason
        notFound,
        notVideo,
        encrypted,
        linkExpired,
        cancelled,
    };

    // The remedy a case suggests; failure() turns it into the row's buttons.
    enum class Action : quint8 { login, retry, openDesktopPrivacy, openLogs };

    static Problem needLogin(bool expired) { return Problem(Kind::needLogin, {}, expired); }
    static Problem unavailable(const QString& notice) { return Problem(Kind::unavailable, notice); }
    static Problem network(const QString& detail) { return Problem(Kind::network, detail); }
    // A server that answered with an error of its own (HTTP 5xx): still a network case with a
    // retry, but the user's connection is not to blame and the texts say so.
    static Problem serverFault(const QString& detail) {
        Problem problem(Kind::network, detail);
        problem.m_serverSide = true;
        return problem;
    }
    static Problem apiChanged(const QString& detail) { return Problem(Kind::apiChanged, detail); }
    static Problem disk(const QString& reason) { return Problem(Kind::disk, reason); }
    // The temporary folder, not the Desktop, could not take the file (it is full, say): the
    // texts name that folder and send nobody to the Desktop. `reason` is the system's.
    static Problem temporaryDisk(const QString& folder, const QString& reason) {
        Problem problem(Kind::disk, folder + QStringLiteral("：") + reason);
        problem.m_inTemporaryFolder = true;
        return problem;
    }
    static Problem notFound() { return Problem(Kind::notFound); }
    static Problem notVideo() { return Problem(Kind::notVideo); }
    static Problem encrypted() { return Problem(Kind::encrypted); }
    static Problem linkExpired() { return Problem(Kind::linkExpired); }
    static Problem cancelled() { return Problem(Kind::cancelled); }

    Kind kind() const { return m_kind; }
    // The payload of unavailable, network, apiChanged and disk; empty for the other cases.
    const QString& detail() const { return m_detail; }
    // Only meaningful for needLogin.
    bool expired() const { return m_expired; }
    // Only meaningful for network.
    bool serverSide() const { return m_serverSide; }
    // Only meaningful for disk.
    bool inTemporaryFolder() const { return m_inTemporaryFolder; }

    QString title() const;
    QString advice() const;
    std::optional<Action> action() const;
    Failure failure() const;

    friend bool operator==(const Problem&, const Problem&) = default;

private:
    explicit Problem(Kind kind, QString detail = {}, bool expired = false)
        : m_kind(kind), m_detail(std::move(detail)), m_expired(expired) {}

    Kind m_kind;
    QString m_detail;
    bool m_expired = false;
    bool m_serverSide = false;
    bool m_inTemporaryFolder = false;
};

// Lets test failures print the case readably.
void PrintTo(const Problem& problem, std::ostream* out);
