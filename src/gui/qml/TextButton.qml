import QtQuick

// A plain text button (no chrome of its own), such as "粘贴" and "清除已完成". In the panel's
// Tab chain; Space or Return presses it.
Text {
    id: button
    signal clicked
    color: Theme.accent
    opacity: mouse.pressed ? 0.6 : 1
    activeFocusOnTab: true
    Keys.onSpacePressed: button.clicked()
    Keys.onReturnPressed: button.clicked()
    Keys.onEnterPressed: button.clicked()
    FocusRing {}
    MouseArea {
        id: mouse
        anchors.fill: parent
        anchors.margins: -4
        onClicked: button.clicked()
    }
}
