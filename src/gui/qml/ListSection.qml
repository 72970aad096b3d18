import QtQuick
import QtQuick.Controls

// The download list: "下载 · N" with "清除已完成" while something has finished, then the rows in
// a scroll area between 60 and 520 high. Rows fade and slide in from the top and out again.
Column {
    id: section
    property alias list: list

    Item {
        objectName: "listHeader"
        width: section.width
        height: 10 + Math.max(count.implicitHeight, clear.implicitHeight) + 6
        Text {
            id: count
            objectName: "itemCount"
            x: 16
            y: 10
            text: "下载 · " + panel.items.count
            color: Theme.secondary
            font.pointSize: Theme.points(11)
            font.weight: Font.DemiBold
        }
        TextButton {
            id: clear
            objectName: "clearFinished"
            x: parent.width - 16 - width
            y: 10
            visible: panel.hasFinished
            text: "清除已完成"
            font.pointSize: Theme.points(11)
            onClicked: panel.clearFinished()
        }
    }

    ListView {
        id: list
        objectName: "itemList"
        width: section.width
        // The measured height of the content, kept as the list's own state.
        readonly property real listHeight: contentHeight
        height: Math.min(Math.max(listHeight, 60), 520)
        clip: true
        spacing: 8
        boundsBehavior: Flickable.StopAtBounds
        // No current item: a list view otherwise keeps one and glides an (invisible) highlight
        // after it at 400 px/s whenever rows are inserted above it, drawing frames for seconds.
        currentIndex: -1
        highlightFollowsCurrentItem: false
        keyNavigationEnabled: false
        model: panel.items
        footer: Item { width: 1; height: 12 }
        ScrollBar.vertical: ScrollBar {
            objectName: "scrollBar"
            policy: list.contentHeight > list.height ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
        }
        Behavior on height {
            NumberAnimation { duration: 200; easing.type: Easing.OutQuad }
        }

        delegate: ItemRow {
            required property var model
            objectName: "row:" + model.itemId
            x: 12
            width: list.width - 24
            itemId: model.itemId
            url: model.url
            platform: model.platform
            title: model.title
            thumbnail: model.thumbnail
            phase: model.phase
            fraction: model.fraction
            statusText: model.statusText
            sizeText: model.sizeText
            isCancel: model.isCancel
            failureTitle: model.failureTitle
            failureAdvice: model.failureAdvice
            failureActions: model.failureActions
        }

        add: Transition {
            NumberAnimation { property: "opacity"; from: 0; to: 1; duration: 200; easing.type: Easing.OutQuad }
            NumberAnimation { property: "y"; from: -20; duration: 200; easing.type: Easing.OutQuad }
        }
        remove: Transition {
            NumberAnimation { property: "opacity"; to: 0; duration: 200; easing.type: Easing.OutQuad }
        }
        move: Transition {
            NumberAnimation { property: "y"; duration: 200; easing.type: Easing.OutQuad }
        }
        displaced: Transition {
            NumberAnimation { property: "y"; duration: 200; easing.type: Easing.OutQuad }
            NumberAnimation { property: "opacity"; to: 1; duration: 200 }
        }
    }
}
