#pragma once

#include "sites/tools.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <chrono>
#include <optional>

// The external tools' one-line status and the yt-dlp update, as the panel shows them. Both ask
// the tools, which can take long, off the main thread and publish the answer here. Main thread
// only; one update at a time.
class ToolsStatus : public QObject {
    Q_OBJECT

public:
    explicit ToolsStatus(Tools::Settings settings, QObject* parent = nullptr);

    QString text() const { return m_text; }
    bool updating() const { return m_updating; }
    // How the last update went, until dismissed, and the command it leaves to the user (empty
    // when there is none): the panel shows both, not only the log.
    QString lastUpdate() const { return m_lastUpdate; }
    QString lastUpdateCommand() const { return m_lastUpdateCommand; }
    void dismissLastUpdate();
    const Tools::Settings& settings() const { return m_settings; }

    // Asks the tools for their status line; the answer arrives later. The panel asks at every
    // showing, and yt-dlp tells its version only by starting Python (a few hundred milliseconds
    // of CPU beside the panel's first frame), so an answer is kept while the tools' files stay
    // as they were, for up to kKeepAnswer: a package manager may update yt-dlp's modules
    // without touching the program file. Requests made while a query runs are answered by one
    // more look once it ends, which asks the tools again only if their files changed.
    void refresh();
    static constexpr std::chrono::minutes kKeepAnswer{10};
    // Updates yt-dlp unless an update is running; the outcome becomes the status line and is
    // logged.
    void update();

    // The tools' files as a query found them, and the line they gave.
    struct Answer {
        QString files;
        QString text;
    };

Q_SIGNALS:
    void textChanged();
    void updatingChanged();
    void lastUpdateChanged();

private:
    void setText(const QString& text);
    void setUpdating(bool updating);

    const Tools::Settings m_settings;
    QString m_text;
    bool m_updating = false;
    bool m_refreshing = false;
    bool m_refreshAgain = false;
    QString m_lastUpdate;
    QString m_lastUpdateCommand;
    std::optional<Answer> m_known;
    QElapsedTimer m_knownAge;
};
