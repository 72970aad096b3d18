#pragma once

#include "gui/paste_field.h"
#include "manager/desktop_services.h"
#include "manager/download_manager.h"

#include <QImage>
#include <QList>
#include <QQuickItem>
#include <QQuickView>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <optional>

// The real panel QML in a software-rendered view, over a real DownloadManager whose desktop is
// recorded. Items are put into the wanted phase after a run that ends at once (no download
// tools can be found), so nothing changes behind a test's back. Any QML warning while the
// harness lives fails the test.
class PanelHarness {
public:
    struct Clipboard : ::Clipboard {
        std::optional<QString> contents;
        std::optional<QString> text() const override { return contents; }
        void setText(const QString& text) override { contents = text; }
    };
    struct Workspace : ::Workspace {
        QList<QUrl> opened;
        QStringList revealed;
        void openURL(const QUrl& url) override { opened.append(url); }
        void revealFile(const QString& path) override { revealed.append(path); }
        void openSettingsPane(Pane) override {}
    };
    struct LoginWindow : ::LoginWindow {
        int shown = 0;
        void show() override { ++shown; }
    };

    // `dark` swaps in a dark application palette before the panel is built.
    explicit PanelHarness(bool dark = false);
    ~PanelHarness();

    // A QML warning containing `fragment` is what this test expects (a picture refused on
    // purpose, say): it is let through once instead of failing the test.
    static void expectQmlWarning(const QString& fragment);

    DownloadManager& manager() { return *m_manager; }
    PasteField& field() { return *m_field; }
    QQuickView& view() { return m_view; }
    QQuickItem* root() const { return m_view.rootObject(); }

    // The first object with this objectName below the root (items, popups and menu entries).
    QObject* find(const QString& name) const;
    QQuickItem* item(const QString& name) const;
    // Every visual item with this objectName below `under` (default: the root), in tree order.
    QList<QQuickItem*> all(const QString& name, QQuickItem* under = nullptr) const;
    // The row of an item in the list (created by the list view).
    QQuickItem* row(const DownloadManager::ItemPointer& item) const;
    // A property of a named object.
    QVariant value(const QString& name, const char* property) const;
    bool shown(const QString& name) const;       // visible, all ancestors included
    QRectF geometry(const QString& name) const;  // in root coordinates

    // Adds an item for `url` on top of the list and leaves it in `phase`.
    DownloadManager::ItemPointer add(const QString& url, const Phase& phase);

    // Waits until what changed is on the screen: a frame has been drawn since, and the list has
    // come to rest (its height at its content's, every row opaque and in its place).
    void settle();
    // Waits until `done` holds; false if it still does not after five seconds.
    bool waitFor(const std::function<bool()>& done);
    // Waits until the window has drawn no frame for a few frame intervals; false if it still
    // draws after a second.
    bool drawingStops();
    QImage grab();

    // Heights reported to the shell, in order.
    QList<double> heights;
    int quits = 0;
    std::shared_ptr<Clipboard> clipboard = std::make_shared<Clipboard>();
    std::shared_ptr<Workspace> workspace = std::make_shared<Workspace>();
    QList<std::shared_ptr<LoginWindow>> loginWindows;

private:
    bool listAtRest() const;

    // Before the view exists: the panel draws with the software renderer, as in the tray app.
    const bool m_softwareRenderer;
    QTemporaryDir m_noTools;
    std::unique_ptr<DownloadManager> m_manager;
    std::unique_ptr<PasteField> m_field;
    QQuickView m_view;
};

// A palette with light text on dark backgrounds.
QPalette darkPalette();

// Puts a Yuanbao login into the cookie jar; `expires` false makes it a session cookie.
void logInToYuanbao(bool expires);
