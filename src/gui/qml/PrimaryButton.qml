import QtQuick

// The panel's main button: white label padded 14 on the accent colour (80 % while pressed),
// 36 high, corner radius 9; the whole drawn at 45 % when disabled. In the panel's Tab chain
// while enabled; Space or Return presses it.
Item {
    id: button
    property alias text: label.text
    property string iconName
    signal clicked

    activeFocusOnTab: true
    Keys.onSpacePressed: button.clicked()
    Keys.onReturnPressed: button.clicked()
    Keys.onEnterPressed: button.clicked()

    implicitWidth: content.implicitWidth + 28
    width: implicitWidth
    height: Theme.controlHeight
    opacity: enabled ? 1 : 0.45

    Rectangle {
        objectName: "primaryBackground"
        anchors.fill: parent
        radius: 9
        color: Theme.fade(Theme.accent, mouse.pressed ? 0.8 : 1)
    }
    FocusRing {
        cornerRadius: 9
    }
    Row {
        id: content
        anchors.centerIn: parent
        spacing: 5
        Icon {
            anchors.verticalCenter: parent.verticalCenter
            visible: button.iconName !== ""
            name: button.iconName
            size: Theme.iconSize
            color: "white"
            weight: Theme.bold
        }
        Text {
            id: label
            objectName: "primaryLabel"
            anchors.verticalCenter: parent.verticalCenter
            color: "white"
            font.pointSize: Theme.largeFont
            font.weight: Font.DemiBold
        }
    }
    MouseArea {
        id: mouse
        anchors.fill: parent
        onClicked: button.clicked()
    }
}
