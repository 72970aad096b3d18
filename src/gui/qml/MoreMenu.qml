import QtQuick
import Quorvin.Panel

// The header's "⋯" button and its menu. The menu is made on its first opening and kept: most
// showings of the panel never open it, and its entries cost more to make than the rest of the
// panel's first frame.
Item {
    id: more
    objectName: "more"
    // Null until the first opening. Made from its own file: the menu needs Qt Quick Controls,
    // which the panel's first frame does without.
    property var menu: null
    // How far below this button the open menu reaches. The menu is drawn inside the panel's
    // window, so the window must grow to hold it while it is open (with a short list the panel
    // is shorter than the menu, and "退出Quorvin" would be cut off).
    readonly property real menuReach: menu && menu.visible ? more.height + menu.height + 8 : 0
    width: 28
    height: 28
    // Last in the panel's Tab chain (it wraps round to the link field); Space or Return opens
    // the menu.
    activeFocusOnTab: true
    Keys.onSpacePressed: more.open()
    Keys.onReturnPressed: more.open()
    Keys.onEnterPressed: more.open()

    function open() {
        Panel.refreshMenu()
        if (!menu) menu = Qt.createComponent("MoreEntries.qml").createObject(more)
        menu.popup(more, more.width - menu.width, more.height)
    }

    FocusRing {
        cornerRadius: more.width / 2 - 3
    }

    Icon {
        anchors.centerIn: parent
        name: "ellipsis"
        size: 16
        color: Theme.secondary
        weight: Theme.semibold
    }
    MouseArea {
        id: mouse
        objectName: "moreButton"
        anchors.fill: parent
        hoverEnabled: true
        onClicked: more.open()
        Tip {
            text: "更多"
            shown: mouse.containsMouse && !(more.menu && more.menu.visible)
        }
    }

    // A menu left open would still be there when the panel is shown again.
    Connections {
        target: more.Window.window
        ignoreUnknownSignals: true
        function onVisibleChanged() {
            if (!more.Window.window.visible && more.menu) more.menu.close()
        }
    }
}
