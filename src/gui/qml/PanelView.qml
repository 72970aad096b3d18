import QtQuick
import QtQuick.Controls

// The panel: header, paste row, one notice or the supported sites, and the download list.
// 440 wide; its height follows the content and is reported to the window around it.
Rectangle {
    id: root
    objectName: "panelRoot"
    width: 440
    height: column.implicitHeight
    color: Theme.window

    readonly property alias inputFocused: pasteRow.inputFocused
    // The window holds the content, and the more menu while it is open.
    readonly property real windowHeight: Math.max(column.implicitHeight, more.y + more.menuReach)

    Component.onCompleted: {
        Theme.pointsPerPixel = panel.pointsPerPixel
        panel.reportHeight(windowHeight)
    }
    onWindowHeightChanged: panel.reportHeight(windowHeight)

    // The manager asks for focus before each showing; it is given on the next turn of the
    // event loop, once the window is up.
    Connections {
        target: panel
        function onFocusTickChanged() { focusTimer.restart() }
    }
    Timer {
        id: focusTimer
        interval: 0
        onTriggered: {
            pasteRow.field.forceActiveFocus()
        }
    }

    Keys.onReturnPressed: panel.submit()
    Keys.onEnterPressed: panel.submit()

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
                x: 16
                y: 14 + (28 - 22) / 2
                width: 22
                height: 22
                sourceSize: Qt.size(Math.ceil(22 * Screen.devicePixelRatio), Math.ceil(22 * Screen.devicePixelRatio))
                source: "image://badge/logo"
            }
            Text {
                x: 16 + 22 + 9
                anchors.verticalCenter: more.verticalCenter
                text: "Quorvin"
                color: Theme.primary
                font.pointSize: Theme.points(14)
                font.weight: Font.DemiBold
            }
            MoreMenu {
                id: more
                x: root.width - 12 - width
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
            visible: panel.items.count > 0
            width: root.width
            height: 1
            color: Theme.fade(Theme.primary, 0.1)
        }
        ListSection {
            id: listSection
            objectName: "listSection"
            visible: panel.items.count > 0
            width: root.width
            height: visible ? implicitHeight : 0
        }
    }
}
