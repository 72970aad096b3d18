import QtQuick
import QtQuick.Controls

// A round icon button of a download row: 26 × 26, the circle at 16 % of the primary colour
// while hovered and 9 % otherwise, the tooltip after the usual delay.
Item {
    id: button
    property string symbol
    property string help
    signal clicked

    readonly property bool hovering: mouse.containsMouse

    width: 26
    height: 26

    Rectangle {
        anchors.fill: parent
        radius: width / 2
        color: Theme.fade(Theme.primary, button.hovering ? 0.16 : 0.09)
    }
    Icon {
        anchors.centerIn: parent
        name: button.symbol
        size: 13
        color: Theme.secondary
        weight: Theme.bold
    }
    MouseArea {
        id: mouse
        anchors.fill: parent
        hoverEnabled: true
        onClicked: button.clicked()
    }
    ToolTip.visible: button.hovering && button.help !== ""
    ToolTip.delay: 700
    ToolTip.text: button.help
}
