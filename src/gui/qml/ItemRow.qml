import QtQuick
import QtQuick.Controls

// One download: thumbnail with the platform's badge, title, status line by phase, progress
// while it runs, round buttons on the right, and for a failure that is not a cancellation the
// box with its advice and remedies. Every action goes through `panel` by the item's id.
Rectangle {
    id: row
    property string itemId
    property string url
    property var platform
    property string title
    property url thumbnail
    property string phase: "working"
    property real fraction: -1
    property string statusText
    property string sizeText
    property bool isCancel: false
    property string failureTitle
    property string failureAdvice
    property var failureActions: []

    readonly property bool active: phase === "working" || phase === "downloading"
    readonly property bool hovering: hover.hovered
    readonly property bool showsFailureBox: phase === "failed" && !isCancel
    // What the row looks like over the panel: its tint laid on the window colour.
    readonly property color surroundColor: Qt.tint(Theme.window, color)

    height: column.implicitHeight + 20
    radius: 10
    color: Theme.fade(Theme.primary, hovering ? 0.075 : 0.05)

    HoverHandler { id: hover }

    TapHandler {
        acceptedButtons: Qt.RightButton
        onTapped: (point) => contextMenu.popup()
    }

    Column {
        id: column
        x: 10
        y: 10
        width: row.width - 20
        spacing: 9

        Item {
            id: topLine
            width: parent.width
            height: Math.max(40, texts.implicitHeight, buttons.height)

            Item {
                id: thumb
                objectName: "thumbnail"
                width: 64
                height: 40
                Rectangle {
                    id: thumbMask
                    anchors.fill: parent
                    radius: 6
                    color: row.platform ? Theme.fade(row.platform.color, 0.2) : "transparent"
                }
                Image {
                    id: picture
                    objectName: "thumbnailImage"
                    anchors.fill: parent
                    visible: status === Image.Ready
                    source: row.thumbnail
                    asynchronous: true
                    cache: false
                    fillMode: Image.PreserveAspectCrop
                    sourceSize: Qt.size(64 * Screen.devicePixelRatio, 40 * Screen.devicePixelRatio)
                }
                // The software renderer cannot clip to a rounded shape: the four corners are
                // covered with the colour the row shows around the picture.
                Repeater {
                    model: picture.visible ? 4 : 0
                    Image {
                        required property int index
                        width: 6
                        height: 6
                        x: index === 1 || index === 2 ? thumb.width - 6 : 0
                        y: index >= 2 ? thumb.height - 6 : 0
                        rotation: index * 90
                        sourceSize: Qt.size(Math.ceil(6 * Screen.devicePixelRatio),
                                            Math.ceil(6 * Screen.devicePixelRatio))
                        source: "image://badge/corner?color="
                                + encodeURIComponent(row.surroundColor.toString())
                    }
                }
                Rectangle {
                    x: 3
                    y: thumb.height - 3 - 15 + 0.5
                    width: 15
                    height: 15
                    radius: 0.27 * 15
                    color: Qt.rgba(0, 0, 0, 0.3)
                }
                PlatformBadge {
                    x: 3
                    y: thumb.height - 3 - 15
                    platform: row.platform
                    size: 15
                }
            }

            Column {
                id: texts
                x: thumb.width + 10
                width: buttons.x - 2 - x
                spacing: 3
                Text {
                    objectName: "title"
                    width: parent.width
                    text: row.title
                    color: Theme.primary
                    font.pointSize: Theme.points(12.5)
                    font.weight: Font.Medium
                    wrapMode: Text.Wrap
                    maximumLineCount: 2
                    elide: Text.ElideRight
                }
                Row {
                    objectName: "status"
                    width: parent.width
                    spacing: 3
                    Icon {
                        anchors.top: parent.top
                        anchors.topMargin: 2
                        visible: row.phase === "done" || row.showsFailureBox
                        name: row.phase === "done" ? "checkmark" : "exclamationmark.triangle.fill"
                        color: row.phase === "done" ? Theme.green : Theme.orange
                        weight: Theme.semibold
                        size: 11
                    }
                    Text {
                        objectName: "statusText"
                        width: parent.width - (x > 0 ? 14 : 0)
                        text: {
                            switch (row.phase) {
                            case "done":
                                return "已保存到桌面" + (row.sizeText ? " · " + row.sizeText : "")
                            case "failed":
                                return row.isCancel ? "已取消" : row.failureTitle
                            default:
                                return row.statusText
                            }
                        }
                        color: row.phase === "done" ? Theme.green
                               : row.showsFailureBox ? Theme.orange : Theme.secondary
                        font.pointSize: Theme.points(11)
                        font.weight: row.showsFailureBox ? Font.Medium : Font.Normal
                        wrapMode: row.showsFailureBox ? Text.Wrap : Text.NoWrap
                        elide: row.showsFailureBox ? Text.ElideNone : Text.ElideRight
                    }
                }
            }

            Row {
                id: buttons
                objectName: "buttons"
                x: parent.width - width
                spacing: 6
                CircleIconButton {
                    objectName: "cancelButton"
                    visible: row.active
                    symbol: "xmark"
                    help: "取消"
                    onClicked: panel.cancel(row.itemId)
                }
                CircleIconButton {
                    objectName: "playButton"
                    visible: row.phase === "done"
                    symbol: "play.fill"
                    help: "播放"
                    onClicked: panel.openFile(row.itemId)
                }
                CircleIconButton {
                    objectName: "revealButton"
                    visible: row.phase === "done"
                    symbol: "magnifyingglass"
                    help: panel.revealLabel
                    onClicked: panel.revealFile(row.itemId)
                }
                CircleIconButton {
                    objectName: "trashButton"
                    visible: row.phase === "failed" && row.hovering
                    symbol: "trash"
                    help: "从列表移除"
                    onClicked: panel.remove(row.itemId)
                }
                CircleIconButton {
                    objectName: "retryButton"
                    visible: row.phase === "failed"
                    symbol: "arrow.clockwise"
                    help: "重试"
                    onClicked: panel.retry(row.itemId)
                }
            }
        }

        ProgressLine {
            objectName: "progress"
            visible: row.active
            width: parent.width
            fraction: row.phase === "downloading" ? row.fraction : -1
        }

        Rectangle {
            objectName: "failureBox"
            visible: row.showsFailureBox
            width: parent.width
            height: failure.implicitHeight + 20
            radius: 8
            color: Theme.fade(Theme.orange, 0.1)
            Column {
                id: failure
                x: 10
                y: 10
                width: parent.width - 20
                spacing: 8
                TextEdit {
                    objectName: "advice"
                    visible: row.failureAdvice !== ""
                    width: parent.width
                    text: row.failureAdvice
                    readOnly: true
                    selectByMouse: true
                    wrapMode: TextEdit.Wrap
                    color: Theme.fade(Theme.primary, 0.82)
                    selectionColor: Theme.accent
                    font.pointSize: Theme.points(11.5)
                }
                Flow {
                    objectName: "remedies"
                    visible: row.failureActions.length > 0
                    width: parent.width
                    spacing: 6
                    Repeater {
                        model: row.failureActions
                        RemedyButton {
                            required property var modelData
                            required property int index
                            text: modelData.label
                            primary: index === 0
                            onClicked: panel.perform(row.itemId, modelData.key)
                        }
                    }
                }
            }
        }
    }

    PanelMenu {
        id: contextMenu
        MenuItem { text: "复制链接"; onTriggered: panel.copyLink(row.itemId) }
        MenuItem { text: "在浏览器中打开"; onTriggered: panel.openLink(row.itemId) }
        MenuSeparator {}
        MenuItem { text: "从列表移除"; onTriggered: panel.remove(row.itemId) }
    }
}
