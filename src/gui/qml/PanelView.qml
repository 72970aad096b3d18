import QtQuick
import Quorvin.Panel

// The panel: header, paste row, one notice or the supported sites, and the download list.
// 440 wide; its height follows the content and is reported to the window around it.
Rectangle {
    id: root
    objectName: "panelRoot"
    width: Theme.panelWidth
    height: column.implicitHeight
    color: Theme.window

    readonly property alias inputFocused: pasteRow.inputFocused
    // The window holds the content, and the more menu while it is open.
    readonly property real windowHeight: Math.max(column.implicitHeight, more.y + more.menuReach)

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

    Column {
        id: column
        width: root.width
        spacing: 0

        Item {
            id: header
            objectName: "header"
            width: root.width
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
                x: root.width - Theme.inset - width
                y: 14
            }
        }

        PasteRow {
            id: pasteRow
            objectName: "pasteRow"
            width: root.width
        }

        Notices {
            objectName: "notices"
            width: root.width
        }

        Rectangle {
            objectName: "divider"
            visible: Panel.items.count > 0
            width: root.width
            height: 1
            color: Theme.fade(Theme.primary, 0.1)
        }
        ListSection {
            id: listSection
            objectName: "listSection"
            visible: Panel.items.count > 0
            width: root.width
            height: visible ? implicitHeight : 0
        }
    }
}
