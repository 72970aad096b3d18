import QtQuick

// The keyboard focus ring around its parent: 2 wide in the accent colour, just outside the
// parent's shape, shown while the parent has the active focus.
Rectangle {
    property real cornerRadius: 4
    objectName: "focusRing"
    anchors.fill: parent
    anchors.margins: -3
    radius: cornerRadius + 3
    color: "transparent"
    border.width: 2
    border.color: Theme.fade(Theme.accent, 0.7)
    visible: parent.activeFocus
}
