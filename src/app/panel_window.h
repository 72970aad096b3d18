#pragma once

#include <QElapsedTimer>
#include <QQuickView>
#include <QRect>
#include <QTimer>

#include <chrono>
#include <functional>

// The window the panel lives in: a frameless tool window, 440 points wide, as tall as the panel
// says it is. A Popup would get no keyboard under a window manager, so this is a Tool window
// that hides itself when it loses activation, the way a transient popover closes on an outside
// click. A press in another window may be the start of a drag of a link onto the panel, so
// while a button is held the panel waits: released over the panel, it stays and takes the
// keyboard back; released elsewhere, it hides. Escape and Ctrl+H hide it; Ctrl+Q asks to quit. A
// translucent window (where a compositor runs) has room around the panel for its shadow, and shows
// through there.
class PanelWindow : public QQuickView {
    Q_OBJECT

public:
    static constexpr int kWidth = 440;
    static constexpr int kInitialHeight = 300;
    // The room for the shadow on each side of a translucent window: Theme.shadow in the QML.
    static constexpr int kShadow = 14;

    explicit PanelWindow(bool translucent = false);
    bool isTranslucent() const { return m_translucent; }

    // The window's height the panel measured (its shadow included), in points: rounded up; zero
    // or less is ignored.
    void setPanelHeight(double height);
    // Shows the window next to the anchor (kept on screen), raised and activated so the paste
    // field gets the keyboard.
    void showAt(const QRect& anchor);
    // Brings the panel forward: raised and activated where it stands when it is shown already,
    // else shown at the anchor.
    void present(const QRect& anchor);
    // Whether the window hid itself on losing activation a moment ago. A click on the tray icon
    // takes the activation first, so that click must not open the panel again.
    bool justHidByDeactivation() const;
    // Runs `work` on the main thread once the window has drawn its next frame, so that work the
    // user does not wait for (a tool run, a sweep of the disk) does not compete with that frame.
    // A hidden window draws nothing: then it runs on the next turn of the event loop; and a
    // frame that does not come within kFrameWait (nothing changed) does not hold it up longer.
    void afterNextFrame(std::function<void()> work);

    static constexpr std::chrono::milliseconds kFrameWait{1000};
    // How long the panel stays hidden before what only a shown panel needs is released: a
    // panel closed and opened again at once keeps its caches.
    static constexpr std::chrono::milliseconds kReleaseDelay{2000};

Q_SIGNALS:
    void quitRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void place();
    void onActiveChanged();
    void hideOnceReleased();

    const bool m_translucent;
    QRect m_anchor;
    QElapsedTimer m_hiddenByDeactivation;
    // After the activation went away: hides, or waits for a held button's release.
    QTimer m_releaseWatch;
    QTimer m_release;
};
