import QtQuick
import QtQuick.Controls
import Quorvin.Panel

// The download list: "下载 · N" with "清除已完成" while something has finished, then the rows in
// a scroll area between 60 and 520 high. Rows fade and slide in from the top and out again.
Column {
    id: section
    objectName: "listSection"
    property alias list: list

    // The list's motion: every change takes the same short ease.
    component Ease: NumberAnimation {
        duration: Theme.shortDuration
        easing.type: Theme.easing
    }

    Item {
        objectName: "listHeader"
        width: section.width
        height: Theme.padding + Math.max(count.implicitHeight, clear.implicitHeight) + 6
        Text {
            id: count
            objectName: "itemCount"
            x: Theme.margin
            y: Theme.padding
            text: Panel.listTitle
            color: Theme.secondary
            font.pointSize: Theme.smallFont
            font.weight: Font.DemiBold
        }
        TextButton {
            id: clear
            objectName: "clearFinished"
            x: parent.width - Theme.margin - width
            y: Theme.padding
            visible: Panel.hasFinished
            text: "清除已完成"
            font.pointSize: Theme.smallFont
            onClicked: Panel.clearFinished()
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
        spacing: Theme.rowSpacing
        boundsBehavior: Flickable.StopAtBounds
        // No current item: a list view otherwise keeps one and glides an (invisible) highlight
        // after it at 400 px/s whenever rows are inserted above it, drawing frames for seconds.
        currentIndex: -1
        highlightFollowsCurrentItem: false
        keyNavigationEnabled: false
        model: Panel.items
        footer: Item { width: 1; height: Theme.inset }
        ScrollBar.vertical: ScrollBar {
            objectName: "scrollBar"
            policy: list.contentHeight > list.height ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
        }
        Behavior on height {
            Ease {}
        }
        // A download the user has just added (or retried) goes on top of the list: bring the top
        // into view, or a list scrolled down would hide it. Once the list has taken the change
        // in: moving the view while the model is still announcing it shows stale rows.
        Connections {
            target: list.model
            function onRowsInserted(parent, first) {
                if (first === 0) toTop.restart()
            }
            function onRowsMoved(parent, start, end, destination, row) {
                if (row === 0) toTop.restart()
            }
        }
        Timer {
            id: toTop
            interval: 0
            onTriggered: list.positionViewAtBeginning()
        }

        delegate: ItemRow {
            id: delegateRow
            required property var model
            required property int index
            objectName: "row:" + model.itemId
            x: Theme.inset
            width: ListView.view.width - 2 * Theme.inset
            itemId: model.itemId
            platform: model.platform
            title: model.title
            thumbnail: model.thumbnail
            phase: model.phase
            fraction: model.fraction
            statusText: model.statusText
            isCancel: model.isCancel
            failureAdvice: model.failureAdvice
            failureActions: model.failureActions

            // Tab follows the rows' order among their siblings, and a row made later (a new
            // download on top) is appended to them: each row places itself before the next one
            // down, so the keyboard walks the list from the top.
            function keepInListOrder() {
                if (!parent)
                    return;
                let next = null;
                const siblings = parent.children;
                for (let i = 0; i < siblings.length; ++i) {
                    const other = siblings[i];
                    if (other !== delegateRow && other.index !== undefined && other.index > index
                            && (!next || other.index < next.index))
                        next = other;
                }
                if (next)
                    Panel.stackBefore(delegateRow, next);
            }
            Component.onCompleted: keepInListOrder()
            onIndexChanged: keepInListOrder()
            onParentChanged: keepInListOrder()
        }

        add: Transition {
            Ease { property: "opacity"; from: 0; to: 1 }
            Ease { property: "y"; from: -20 }
        }
        remove: Transition {
            Ease { property: "opacity"; to: 0 }
        }
        move: Transition {
            Ease { property: "y" }
        }
        displaced: Transition {
            Ease { property: "y" }
            NumberAnimation { property: "opacity"; to: 1; duration: Theme.shortDuration }
        }
    }
}
