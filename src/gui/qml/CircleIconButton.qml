import QtQuick
import QtQuick.Controls

// A round icon button of a download row: 26 × 26, the circle at 16 % of the primary colour
// while hovered and 9 % otherwise, the tooltip after the usual delay. In the panel's Tab chain;
// Space or Return presses it.
Item {
    id: button
    property string symbol
    property string help
    signal clicked

    readonly property bool hovering: mouse.containsMouse

    width: Theme.rowButtonSize
    height: Theme.rowButtonSize
    activeFocusOnTab: true
    Keys.onSpacePressed: button.clicked()
    Keys.onReturnPressed: button.clicked()
    Keys.onEnterPressed: button.clicked()

    Rectangle {
        anchors.fill: parent
        radius: width / 2
        color: Theme.fade(Theme.primary, button.hovering ? 0.16 : 0.09)
    }
    Icon {
        anchors.centerIn: parent
        name: button.symbol
        size: Theme.smallIconSize
        color: Theme.secondary
        weight: Theme.bold
    }
    FocusRing {
        cornerRadius: button.width / 2
    }
    MouseArea {
        id: mouse
        anchors.fill: parent
        hoverEnabled: true
        onClicked: button.clicked()
    }
    ToolTip.visible: button.hovering && button.help !== ""
    ToolTip.delay: Theme.toolTipDelay
    ToolTip.text: button.help
}
