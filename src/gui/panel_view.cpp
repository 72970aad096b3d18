#include "gui/panel_view.h"

#include "manager/download_manager.h"

#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>

// A stand-in panel until the real one is written: a plain page that reports its height, so the
// window around it can be built and tested on its own.

namespace {

class HeightReporter : public QObject {
    Q_OBJECT
public:
    explicit HeightReporter(PanelCallbacks callbacks, QObject* parent)
        : QObject(parent), m_callbacks(std::move(callbacks)) {}
    Q_INVOKABLE void report(double height) {
        if (m_callbacks.onHeightChange) m_callbacks.onHeightChange(height);
    }

private:
    PanelCallbacks m_callbacks;
};

constexpr char kPage[] = R"(
import QtQuick
Rectangle {
    width: 440
    implicitHeight: 300
    height: implicitHeight
    color: palette.window
    Text {
        anchors.centerIn: parent
        text: "Quorvin"
        color: palette.windowText
    }
    onHeightChanged: panelHeight.report(height)
    Component.onCompleted: panelHeight.report(height)
}
)";

}  // namespace

void loadPanel(QQuickView& view, DownloadManager& manager, PanelCallbacks callbacks) {
    auto* reporter = new HeightReporter(std::move(callbacks), &view);
    view.rootContext()->setContextProperty(QStringLiteral("panelHeight"), reporter);
    view.rootContext()->setContextProperty(QStringLiteral("manager"), &manager);
    auto* component = new QQmlComponent(view.engine(), &view);
    component->setData(kPage, QUrl(QStringLiteral("qrc:/quorvin/qml/Placeholder.qml")));
    QObject* root = component->create(view.rootContext());
    view.setContent(component->url(), component, root);
}

#include "panel_view.moc"
