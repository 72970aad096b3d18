import QtQuick

// A plain text button (no chrome of its own), such as "粘贴" and "清除已完成".
Text {
    id: button
    signal clicked
    color: Theme.accent
    opacity: mouse.pressed ? 0.6 : 1
    MouseArea {
        id: mouse
        anchors.fill: parent
        anchors.margins: -4
        onClicked: button.clicked()
    }
}
