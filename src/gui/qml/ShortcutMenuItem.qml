import QtQuick
import QtQuick.Controls

// A menu entry with its keyboard shortcut shown at the trailing edge.
MenuItem {
    id: item
    property string shortcutText

    // The label and the keys; a component of its own, as the content item is built late.
    component Content: Item {
        property alias text: label.text
        property alias keysText: keys.text
        property alias font: label.font
        property alias color: label.color
        property alias keysColor: keys.color
        implicitWidth: label.implicitWidth + 48 + keys.implicitWidth
        implicitHeight: label.implicitHeight
        Text {
            id: label
            anchors.verticalCenter: parent.verticalCenter
        }
        Text {
            id: keys
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            font: label.font
        }
    }

    contentItem: Content {
        text: item.text
        keysText: item.shortcutText
        font: item.font
        color: item.enabled ? (item.highlighted ? item.palette.highlightedText : item.palette.windowText)
                            : Theme.tertiary
        keysColor: item.highlighted ? item.palette.highlightedText : Theme.secondary
    }
}
