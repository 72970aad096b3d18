import QtQuick

// One remedy of a failure: 24 high, padded 10, corner radius 6. The first remedy is the primary
// one (white on the accent colour); later ones are primary text on 10 % of the primary colour.
Rectangle {
    id: button
    property alias text: label.text
    property bool primary: false
    signal clicked

    width: label.implicitWidth + 2 * Theme.padding
    height: 24
    radius: 6
    color: primary ? Theme.accent : Theme.fade(Theme.primary, 0.1)
    opacity: mouse.pressed ? 0.8 : 1

    Text {
        id: label
        anchors.centerIn: parent
        color: button.primary ? "white" : Theme.primary
        font.pointSize: Theme.bodyFont
        font.weight: Font.Medium
    }
    MouseArea {
        id: mouse
        anchors.fill: parent
        onClicked: button.clicked()
    }
}
