import QtQuick
import QtQuick.Controls

// A menu entry with its keyboard shortcut shown at the trailing edge.
MenuItem {
    id: item
    property string shortcutText
    contentItem: Item {
        implicitWidth: label.implicitWidth + 48 + keys.implicitWidth
        implicitHeight: label.implicitHeight
        Text {
            id: label
            anchors.verticalCenter: parent.verticalCenter
            text: item.text
            font: item.font
            color: item.enabled ? (item.highlighted ? item.palette.highlightedText : item.palette.windowText)
                                : Theme.tertiary
        }
        Text {
            id: keys
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            text: item.shortcutText
            font: item.font
            color: item.highlighted ? item.palette.highlightedText : Theme.secondary
        }
    }
}
