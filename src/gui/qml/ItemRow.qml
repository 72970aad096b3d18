import QtQuick
import QtQuick.Controls
import Quorvin.Panel

// One download: thumbnail with the platform's badge, title, status line, progress while it
// runs, round buttons on the right, and for a failure that is not a cancellation the box with
// its advice and remedies. Every action goes to the list model by the item's id.
Rectangle {
    id: row
    property string itemId
    property var platform
    property string title
    property url thumbnail
    property int phase: ItemListModel.Working
    property real fraction: -1
    property string statusText
    property bool isCancel: false
    property string failureAdvice
    property var failureActions: []

    readonly property bool active: phase === ItemListModel.Working
                                   || phase === ItemListModel.Downloading
    readonly property bool hovering: hover.hovered
    readonly property bool showsFailureBox: phase === ItemListModel.Failed && !isCancel
    // What the row looks like over the panel: its tint laid on the window colour.
    readonly property color surroundColor: Qt.tint(Theme.window, color)

    height: column.implicitHeight + 2 * Theme.padding
    radius: 10
    color: Theme.fade(Theme.primary, hovering ? 0.075 : 0.05)

    HoverHandler { id: hover }

    // Made on the first right click: a long list would otherwise hold a menu per row.
    property RowMenu contextMenu: null
    TapHandler {
        acceptedButtons: Qt.RightButton
        onTapped: {
            if (!row.contextMenu)
                row.contextMenu = contextMenuComponent.createObject(row, {itemId: row.itemId})
            row.contextMenu.itemId = row.itemId
            row.contextMenu.popup()
        }
    }

    Column {
        id: column
        x: Theme.padding
        y: Theme.padding
        width: row.width - 2 * Theme.padding
        spacing: 9

        Item {
            width: column.width
            height: Math.max(Theme.thumbnailHeight, texts.implicitHeight, buttons.height)

            ItemThumbnail {
                id: thumb
                platform: row.platform
                source: row.thumbnail
                surroundColor: row.surroundColor
            }

            Column {
                id: texts
                x: thumb.width + Theme.padding
                width: buttons.x - 2 - x
                spacing: Theme.lineSpacing
                Text {
                    objectName: "title"
                    width: texts.width
                    text: row.title
                    color: Theme.primary
                    font.pointSize: Theme.rowTitleFont
                    font.weight: Font.Medium
                    wrapMode: Text.Wrap
                    maximumLineCount: 2
                    elide: Text.ElideRight
                }
                ItemStatusLine {
                    width: texts.width
                    phase: row.phase
                    text: row.statusText
                    showsFailure: row.showsFailureBox
                }
            }

            RowButtons {
                id: buttons
                x: parent.width - width
                itemId: row.itemId
                phase: row.phase
                hovering: row.hovering
            }
        }

        ProgressLine {
            objectName: "progress"
            visible: row.active
            width: column.width
            fraction: row.phase === ItemListModel.Downloading ? row.fraction : -1
        }

        // Made only for a row that fails.
        Loader {
            active: row.showsFailureBox
            visible: active
            width: column.width
            sourceComponent: FailureBox {}
            onLoaded: {
                const box = item as FailureBox
                box.advice = Qt.binding(() => row.failureAdvice)
                box.actions = Qt.binding(() => row.failureActions)
                box.performed.connect((key) => Panel.items.perform(row.itemId, key))
            }
        }
    }

    Component {
        id: contextMenuComponent
        RowMenu {}
    }
    // The right-click menu, acting on the item it was opened for.
    component RowMenu: PanelMenu {
        id: menu
        property string itemId
        MenuItem { text: "复制链接"; onTriggered: Panel.items.copyLink(menu.itemId) }
        MenuItem { text: "在浏览器中打开"; onTriggered: Panel.items.openLink(menu.itemId) }
        MenuSeparator {}
        MenuItem { text: "从列表移除"; onTriggered: Panel.items.remove(menu.itemId) }
    }
}
