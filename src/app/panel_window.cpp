#include "app/panel_window.h"

#include "app/idle_memory.h"
#include "app/panel_placement.h"
#include "app/pointer_buttons.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QSurfaceFormat>

#include <cmath>
#include <memory>

namespace {

int margin(bool translucent) {
    return translucent ? PanelWindow::kShadow : 0;
}

}  // namespace

PanelWindow::PanelWindow(bool translucent) : m_translucent(translucent) {
    setFlags(Qt::Tool | Qt::FramelessWindowHint);
    setTitle(QStringLiteral("Quorvin"));
    setResizeMode(QQuickView::SizeRootObjectToView);
    if (m_translucent) {
        // An alpha channel picks a visual the compositor blends with what is behind.
        QSurfaceFormat surface = format();
        surface.setAlphaBufferSize(8);
        setFormat(surface);
        setColor(Qt::transparent);
    }
    resize(kWidth + 2 * margin(m_translucent), kInitialHeight);
    connect(this, &QWindow::activeChanged, this, &PanelWindow::onActiveChanged);
    // X11 says nothing when a button is released over another program's window: ask often
    // enough that the panel goes with the release, as it would have gone with the press.
    m_releaseWatch.setInterval(30);
    connect(&m_releaseWatch, &QTimer::timeout, this, &PanelWindow::hideOnceReleased);
    m_release.setSingleShot(true);
    m_release.setInterval(kReleaseDelay);
    connect(&m_release, &QTimer::timeout, this, [this] {
        if (!isVisible()) IdleMemory::release(*this);
    });
    connect(this, &QWindow::visibleChanged, this, [this](bool visible) {
        if (visible) {
            m_release.stop();
        } else {
            m_release.start();
        }
    });
}

void PanelWindow::afterNextFrame(std::function<void()> work) {
    if (!isVisible()) {
        QTimer::singleShot(0, this, std::move(work));
        return;
    }
    // Whichever comes first, the frame or the end of the wait, runs the work; the other finds
    // it gone.
    auto pending = std::make_shared<std::function<void()>>(std::move(work));
    auto connection = std::make_shared<QMetaObject::Connection>();
    const auto runOnce = [pending, connection] {
        QObject::disconnect(*connection);
        if (auto run = std::exchange(*pending, nullptr)) run();
    };
    // Queued: the frame is out before the work starts.
    *connection = connect(this, &QQuickWindow::frameSwapped, this, runOnce, Qt::QueuedConnection);
    QTimer::singleShot(kFrameWait, this, runOnce);
}

void PanelWindow::setPanelHeight(double height) {
    // A height from the panel's layout; beyond any screen it is not worth converting.
    if (!(height > 0 && height <= 100000)) return;
    const int rounded = int(std::ceil(height));
    if (rounded == this->height()) return;
    resize(kWidth + 2 * margin(m_translucent), rounded);
    if (isVisible()) place();
}

void PanelWindow::showAt(const QRect& anchor) {
    m_anchor = anchor;
    place();
    show();
    raise();
    requestActivate();
}

void PanelWindow::present(const QRect& anchor) {
    if (!isVisible()) {
        showAt(anchor);
        return;
    }
    raise();
    requestActivate();
}

bool PanelWindow::justHidByDeactivation() const {
    return m_hiddenByDeactivation.isValid() && m_hiddenByDeactivation.elapsed() < 400;
}

void PanelWindow::place() {
    QScreen* screen = QGuiApplication::screenAt(m_anchor.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    setScreen(screen);
    // The panel itself goes where a panel without a shadow would; the shadow may reach off the
    // screen.
    const int shadow = margin(m_translucent);
    const QSize panel = size() - QSize(2 * shadow, 2 * shadow);
    setPosition(panelPosition(m_anchor, panel, screen->availableGeometry()) -
                QPoint(shadow, shadow));
}

void PanelWindow::onActiveChanged() {
    if (isActive() || !isVisible()) {
        m_releaseWatch.stop();
        return;
    }
    // Decided a moment later: the window manager that moved the activation on a press may still
    // hold the pointer frozen, and until it lets go the button does not show as held.
    m_releaseWatch.start();
}

void PanelWindow::hideOnceReleased() {
    if (!isVisible() || isActive()) {
        m_releaseWatch.stop();
        return;
    }
    if (PointerButtons::held()) return;
    m_releaseWatch.stop();
    // Released over the panel: a drag brought something here, and the user goes on in the panel.
    if (geometry().contains(QCursor::pos())) {
        raise();
        requestActivate();
        return;
    }
    hide();
    m_hiddenByDeactivation.start();
}

void PanelWindow::keyPressEvent(QKeyEvent* event) {
    const bool control = event->modifiers() & Qt::ControlModifier;
    if (event->key() == Qt::Key_Escape) {
        // The panel's open menu takes Escape first and closes; the panel hides when nothing in
        // it takes the key (the link field passes it on).
        event->ignore();
        QQuickView::keyPressEvent(event);
        if (!event->isAccepted()) hide();
        event->accept();
        return;
    }
    if (control && event->key() == Qt::Key_H) {
        hide();
        event->accept();
        return;
    }
    if (control && event->key() == Qt::Key_Q) {
        event->accept();
        Q_EMIT quitRequested();
        return;
    }
    QQuickView::keyPressEvent(event);
}
