#pragma once

#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

// What the download manager needs from the desktop it runs on. The tray app fills these in with
// the real clipboard, file manager and login window; the command line and the tests bring their
// own.

class Clipboard {
public:
    virtual ~Clipboard() = default;
    // The clipboard's plain text, if it holds any.
    virtual std::optional<QString> text() const = 0;
    // Clears the clipboard and puts plain text on it.
    virtual void setText(const QString& text) = 0;
};

class Workspace {
public:
    // The settings places a failure can send the user to.
    enum class Pane { filesAndFolders, fullDiskAccess };

    virtual ~Workspace() = default;
    // Opens a web address, or a folder in the file manager. The answer is not awaited.
    virtual void openURL(const QUrl& url) = 0;
    // Shows a saved file in the file manager.
    virtual void revealFile(const QString& path) = 0;
    // Opens the settings nearest to the given place.
    virtual void openSettingsPane(Pane pane) = 0;
};

// The Yuanbao login window. show() opens it or brings it forward; onFinish is called once when
// it ends, with true when a login was completed.
class LoginWindow {
public:
    virtual ~LoginWindow() = default;
    virtual void show() = 0;
    std::function<void(bool loggedIn)> onFinish;
};

struct DesktopServices {
    std::shared_ptr<Clipboard> clipboard;
    std::shared_ptr<Workspace> workspace;
    std::function<std::shared_ptr<LoginWindow>()> makeLoginWindow;
};
