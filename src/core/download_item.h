#pragma once

#include "core/cancel_token.h"
#include "core/failure.h"
#include "core/platform.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <memory>
#include <optional>

// Where a download stands and the text shown under its title.
class Phase {
public:
    enum Kind : quint8 { working, downloading, done, failed };

    static Phase makeWorking(const QString& text) { return Phase(working, text); }
    static Phase makeDownloading(std::optional<double> fraction, const QString& text) {
        Phase phase(downloading, text);
        phase.m_fraction = fraction;
        return phase;
    }
    static Phase makeDone(const QString& file, qint64 size) {
        Phase phase(done, QString());
        phase.m_file = file;
        phase.m_size = size;
        return phase;
    }
    static Phase makeFailed(const Failure& failure) {
        Phase phase(failed, QString());
        phase.m_failure = failure;
        return phase;
    }

    Kind kind() const { return m_kind; }
    QString text() const { return m_text; }                        // working, downloading
    std::optional<double> fraction() const { return m_fraction; }  // downloading
    QString file() const { return m_file; }                        // done: the saved file
    qint64 size() const { return m_size; }                         // done
    const Failure& failure() const { return m_failure; }           // failed

    bool isActive() const { return m_kind == working || m_kind == downloading; }
    bool isFinished() const { return !isActive(); }

    friend bool operator==(const Phase&, const Phase&) = default;

private:
    Phase(Kind kind, const QString& text) : m_kind(kind), m_text(text) {}
    Kind m_kind;
    QString m_text;
    std::optional<double> m_fraction;
    QString m_file;
    qint64 m_size = 0;
    Failure m_failure;
};

// One download in the list: the submitted link and everything the panel shows about it. Lives
// on the main thread; engines post to the main thread before they touch it.
class DownloadItem : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString title READ title WRITE setTitle NOTIFY titleChanged)
    Q_PROPERTY(QUrl thumbnail READ thumbnailOrEmpty NOTIFY thumbnailChanged)

public:
    DownloadItem(const QUrl& url, Platform platform, QObject* parent = nullptr);
    // An item brought back from an earlier run keeps its identity: its kept data is filed by it.
    DownloadItem(const QUuid& id, const QUrl& url, Platform platform, QObject* parent = nullptr);

    const QUuid& id() const { return m_id; }
    const QUrl& url() const { return m_url; }
    Platform platform() const { return m_platform; }

    QString title() const { return m_title; }
    void setTitle(const QString& title);

    std::optional<QUrl> thumbnail() const { return m_thumbnail; }
    QUrl thumbnailOrEmpty() const { return m_thumbnail.value_or(QUrl()); }
    void setThumbnail(const std::optional<QUrl>& thumbnail);

    const Phase& phase() const { return m_phase; }
    void setPhase(const Phase& phase);

    bool isActive() const { return m_phase.isActive(); }
    bool isFinished() const { return m_phase.isFinished(); }

    // Cancels the running attempt; null when no run is going on. Manager only.
    std::shared_ptr<CancelToken> cancelToken;
    // Set once the login window has opened by itself for this item. Manager only.
    bool autoLoginShown = false;

    // Host and path, cut to 60 user-perceived characters plus "…".
    static QString provisionalTitle(const QUrl& url);

    // A link as text, fully encoded: what links are compared by, logged, copied and sent.
    static QString linkText(const QUrl& url);
    QString linkText() const { return linkText(m_url); }

Q_SIGNALS:
    void titleChanged();
    void thumbnailChanged();
    void phaseChanged();

private:
    const QUuid m_id;
    const QUrl m_url;
    const Platform m_platform;
    QString m_title;
    std::optional<QUrl> m_thumbnail;
    Phase m_phase;
};
