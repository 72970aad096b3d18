#pragma once

#include "core/platform.h"
#include "manager/download_manager.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <optional>

// The panel's text field: its text and the link detected in it, the clipboard's link put into
// it when the panel opens, and the tick that moves the keyboard focus into it. Submitting hands
// the detected link to the manager. Main thread only.
class PasteField : public QObject {
    Q_OBJECT

public:
    struct Detected {
        QUrl url;
        Platform platform;
        friend bool operator==(const Detected&, const Detected&) = default;
    };

    explicit PasteField(DownloadManager& manager, QObject* parent = nullptr);

    QString input() const { return m_input; }
    void setInput(const QString& text);  // detects at once
    const std::optional<Detected>& detected() const { return m_detected; }
    int focusTick() const { return m_focusTick; }
    std::optional<QString> lastAutofill() const { return m_lastAutofill; }
    // The detected link is a Channels one and Yuanbao is known to be logged out.
    bool needsYuanbaoLogin() const;

    // Downloads the detected link (or brings its running download to the top) and empties the
    // field; without a detected link nothing happens.
    void submit();
    // Before the panel is shown: refreshes the Yuanbao login state, puts a new clipboard link
    // into the field unless it is already downloading, and moves the focus into the field. The
    // tools' status is the shell's to refresh once the panel has drawn: a tool run would compete
    // with the frame the user waits for.
    void prepareForShow();
    // The clipboard's link, or its trimmed text, into the field.
    void pasteFromClipboard();
    // Something dropped on the panel: its web link goes into the field as a clipboard link
    // would, and nothing starts. Dropped links (a browser's or a file manager's) count only
    // where they are http(s), so a file's path is never read as a link; otherwise the dropped
    // text is read as share text. Anything else, or more than 64 KiB, leaves the field as it is
    // and sets the drop hint; false then.
    bool fillFromDrop(const QList<QUrl>& links, const QString& text);
    // One line on why the last drop was refused, until the field changes or the panel is shown
    // again; empty otherwise.
    QString dropHint() const { return m_dropHint; }

Q_SIGNALS:
    void inputChanged();
    void detectedChanged();
    void focusTickChanged();
    void dropHintChanged();

private:
    std::optional<QString> clipboardText() const;
    void setDropHint(const QString& hint);

    DownloadManager& m_manager;
    QString m_input;
    std::optional<Detected> m_detected;
    int m_focusTick = 0;
    std::optional<QString> m_lastAutofill;
    QString m_dropHint;
};
