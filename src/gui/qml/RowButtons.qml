import QtQuick
import Quorvin.Panel

// A row's round buttons by phase: cancel while it runs; play and show in the file manager when
// saved; retry after a failure, with the trash before it while the row is hovered. For a moment
// after the phase changes the buttons ignore clicks: the new button sits where the old one was
// (retry where cancel was), under a pointer that may be halfway through a double click.
Row {
    id: buttons
    property string itemId
    property int phase: ItemListModel.Working
    property bool hovering: false

    readonly property bool active: phase === ItemListModel.Working
                                   || phase === ItemListModel.Downloading
    readonly property bool settled: !fresh.running
    property bool built: false

    Component.onCompleted: built = true
    onPhaseChanged: if (built) fresh.restart()
    Timer {
        id: fresh
        interval: Theme.freshButtonDelay
    }

    objectName: "buttons"
    spacing: Theme.buttonSpacing

    CircleIconButton {
        objectName: "cancelButton"
        visible: buttons.active
        symbol: "xmark"
        help: "取消"
        onClicked: if (buttons.settled) Panel.items.cancel(buttons.itemId)
    }
    CircleIconButton {
        objectName: "playButton"
        visible: buttons.phase === ItemListModel.Done
        symbol: "play.fill"
        help: "播放"
        onClicked: if (buttons.settled) Panel.items.openFile(buttons.itemId)
    }
    CircleIconButton {
        objectName: "revealButton"
        visible: buttons.phase === ItemListModel.Done
        symbol: "magnifyingglass"
        help: Panel.revealLabel
        onClicked: if (buttons.settled) Panel.items.revealFile(buttons.itemId)
    }
    CircleIconButton {
        objectName: "trashButton"
        visible: buttons.phase === ItemListModel.Failed && buttons.hovering
        symbol: "trash"
        help: "从列表移除"
        onClicked: if (buttons.settled) Panel.items.remove(buttons.itemId)
    }
    CircleIconButton {
        objectName: "retryButton"
        visible: buttons.phase === ItemListModel.Failed
        symbol: "arrow.clockwise"
        help: "重试"
        onClicked: if (buttons.settled) Panel.items.retry(buttons.itemId)
    }
}
