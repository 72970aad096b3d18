#include "app/panel_window.h"

#include "app/panel_placement.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include <cmath>

PanelWindow::PanelWindow() {
    setFlags(Qt::Tool | Qt::FramelessWindowHint);
    setTitle(QStringLiteral("Quorvin"));
    setResizeMode(QQuickView::SizeRootObjectToView);
    resize(kWidth, kInitialHeight);
    connect(this, &QWindow::activeChanged, this, &PanelWindow::onActiveChanged);
}

void PanelWindow::setPanelHeight(double height) {
    // A height from the panel's layout; beyond any screen it is not worth converting.
    if (!(height > 0 && height <= 100000)) return;
    const int rounded = int(std::ceil(height));
    if (rounded == this->height()) return;
    resize(kWidth, rounded);
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
    setPosition(panelPosition(m_anchor, size(), screen->availableGeometry()));
}

void PanelWindow::onActiveChanged() {
    if (isActive() || !isVisible()) return;
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
