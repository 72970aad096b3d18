import QtQuick
import Quorvin.Panel

// The panel: header, paste row, one notice or the supported sites, and the download list.
// 440 wide, framed, with room for its shadow around it where the window shows through; its
// height follows the content and is reported to the window around it.
Item {
    id: root
    objectName: "panelRoot"
    width: Theme.panelWidth + 2 * Theme.shadow
    height: column.implicitHeight + 2 * Theme.shadow

    readonly property alias inputFocused: pasteRow.inputFocused
    // The window holds the panel and its shadow, and the more menu while it is open.
    readonly property real windowHeight: Math.max(column.implicitHeight, more.y + more.menuReach)
                                         + 2 * Theme.shadow

    Component.onCompleted: Panel.reportHeight(windowHeight)
    onWindowHeightChanged: Panel.reportHeight(windowHeight)

    // The manager asks for focus before each showing; it is given on the next turn of the
    // event loop, once the window is up.
    Connections {
        target: Panel
        function onFocusTickChanged() { focusTimer.restart() }
    }
    Timer {
        id: focusTimer
        interval: 0
        onTriggered: {
            pasteRow.field.forceActiveFocus()
        }
    }

    Keys.onReturnPressed: Panel.submit()
    Keys.onEnterPressed: Panel.submit()

    Rectangle {
        id: background
        objectName: "panelBackground"
        x: Theme.shadow
        y: Theme.shadow
        width: Theme.panelWidth
        // Where nothing shows through, the window grown for the open menu is all panel.
        height: Panel.translucent ? column.implicitHeight : root.height - 2 * Theme.shadow
        radius: Theme.cornerRadius
        color: Theme.window

        // A soft shadow: layers a pixel apart below the panel, each faint, so it darkens
        // towards the panel's edge.
        Repeater {
            model: Theme.shadow
            Rectangle {
                required property int index
                readonly property int spread: Theme.shadow - index
                z: -1
                x: -spread
                y: 3 - spread
                width: parent.width + 2 * spread
                height: parent.height + 2 * spread - 3
                radius: Theme.cornerRadius + spread
                color: Qt.rgba(0, 0, 0, 0.018)
            }
        }
    }

    Column {
        id: column
        x: Theme.shadow
        y: Theme.shadow
        width: Theme.panelWidth
        spacing: 0

        Item {
            id: header
            objectName: "header"
            width: Theme.panelWidth
            height: 14 + 28 + 12
            Image {
                objectName: "logo"
                x: Theme.margin
                y: 14 + (28 - 22) / 2
                width: 22
                height: 22
                sourceSize.width: Math.ceil(22 * Screen.devicePixelRatio)
                sourceSize.height: Math.ceil(22 * Screen.devicePixelRatio)
                source: "image://badge/logo"
            }
            Text {
                x: Theme.margin + 22 + 9
                anchors.verticalCenter: more.verticalCenter
                text: "Quorvin"
                color: Theme.primary
                font.pointSize: Theme.titleFont
                font.weight: Font.DemiBold
            }
            MoreMenu {
                id: more
                x: Theme.panelWidth - Theme.inset - width
                y: 14
            }
        }

        PasteRow {
            id: pasteRow
            objectName: "pasteRow"
            width: Theme.panelWidth
        }

        Notices {
            objectName: "notices"
            width: Theme.panelWidth
        }

        Rectangle {
            objectName: "divider"
            visible: Panel.items.count > 0
            width: Theme.panelWidth
            height: 1
            color: Theme.fade(Theme.primary, 0.1)
        }
        // Made when the list first has something in it, then kept: its scroll bar and the rows'
        // menus need Qt Quick Controls, which a panel with an empty list does without.
        Loader {
            id: listSection
            readonly property bool wanted: Panel.items.count > 0
            onWantedChanged: if (wanted) active = true
            Component.onCompleted: if (wanted) active = true
            active: false
            visible: wanted && status === Loader.Ready
            width: Theme.panelWidth
            height: visible ? (item as Item).implicitHeight : 0
            source: "ListSection.qml"
        }
    }

    // A link or share text dropped on the panel fills the field, as the clipboard does; it
    // never starts a download. What holds no web link changes nothing and says so in one line.
    DropArea {
        id: drops
        objectName: "dropArea"
        x: background.x
        y: background.y
        width: background.width
        height: background.height
        keys: ["text/uri-list", "text/plain"]
        onDropped: drop => {
            if (Panel.drop(drop.urls, drop.hasText ? drop.text : "")) {
                drop.accept(Qt.CopyAction)
            } else {
                drop.accepted = false
            }
        }
    }

    // Drawn over the content, so a row or the divider reaching the edge cannot hide it.
    Rectangle {
        objectName: "panelFrame"
        x: background.x
        y: background.y
        width: background.width
        height: background.height
        radius: Theme.cornerRadius
        color: "transparent"
        // Where a drop would land, the frame takes the field's focus colour.
        border.width: drops.containsDrag ? 2 : 1
        border.color: drops.containsDrag ? Theme.fade(Theme.accent, 0.75) : Theme.frame
    }
}
