import QtQuick

// A control's hover help, shown while `shown` after the usual delay, above the item it sits
// in. The tooltip, and Qt Quick Controls behind it, are made the first time it shows: a panel
// that nobody hovers over never loads them.
Item {
    id: tip
    property string text
    property bool shown: false
    property var popup: null

    onShownChanged: {
        if (shown && !popup) {
            popup = Qt.createComponent("HoverTip.qml").createObject(tip, {
                parent: tip.parent,
                text: Qt.binding(() => tip.text)
            })
        }
        if (popup)
            popup.visible = shown && text !== ""
    }
}
