import QtQuick
import QtQuick.Controls
import Quorvin.Panel

// The header's "⋯" button and its menu. The menu is made on its first opening and kept: most
// showings of the panel never open it, and its entries cost more to make than the rest of the
// panel's first frame.
Item {
    id: more
    objectName: "more"
    // Null until the first opening.
    property PanelMenu menu: null
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
        if (!menu) menu = entries.createObject(more)
        menu.popup(more, more.width - menu.width, more.height)
    }
    Component {
        id: entries
        Entries {}
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
        ToolTip.visible: containsMouse && !(more.menu && more.menu.visible)
        ToolTip.delay: Theme.toolTipDelay
        ToolTip.text: "更多"
    }

    component SectionTitle: MenuItem {
        enabled: false
        font.pointSize: Theme.smallFont
        font.weight: Font.DemiBold
    }
    // Entries hidden by a condition take no room.
    component Conditional: MenuItem {
        height: visible ? implicitHeight : 0
    }

    // A menu left open would still be there when the panel is shown again.
    Connections {
        target: more.Window.window
        ignoreUnknownSignals: true
        function onVisibleChanged() {
            if (!more.Window.window.visible && more.menu) more.menu.close()
        }
    }

    component Entries: PanelMenu {
        id: menu
        objectName: "moreMenu"
        MenuItem { objectName: "openDesktop"; text: "打开桌面"; onTriggered: Panel.openDesktop() }
        MenuSeparator {}
        SectionTitle { text: "腾讯元宝（视频号用）" }
        Conditional {
            objectName: "yuanbaoState"
            visible: Panel.yuanbaoLoggedIn
            enabled: false
            text: Panel.yuanbaoStateText
        }
        Conditional {
            objectName: "logoutYuanbao"
            visible: Panel.yuanbaoLoggedIn
            text: "退出元宝登录"
            onTriggered: Panel.logoutYuanbao()
        }
        Conditional {
            objectName: "loginYuanbao"
            visible: !Panel.yuanbaoLoggedIn
            text: "登录腾讯元宝…"
            onTriggered: Panel.showYuanbaoLogin()
        }
        SectionTitle { text: "其他网站" }
        PanelMenu {
            id: browsers
            objectName: "browserMenu"
            title: "使用浏览器登录信息"
            MenuItem {
                objectName: "noBrowser"
                text: "不使用"
                checkable: true
                checked: Panel.cookieBrowser === ""
                // A click toggles the tick by itself and would cut it loose from the choice.
                onTriggered: {
                    Panel.cookieBrowser = ""
                    checked = Qt.binding(() => Panel.cookieBrowser === "")
                }
            }
            Instantiator {
                model: Panel.installedBrowsers
                delegate: MenuItem {
                    required property var modelData
                    text: modelData.name
                    checkable: true
                    objectName: "browser_" + modelData.raw
                    checked: Panel.cookieBrowser === modelData.raw
                    onTriggered: {
                        Panel.cookieBrowser = modelData.raw
                        checked = Qt.binding(() => Panel.cookieBrowser === modelData.raw)
                    }
                }
                onObjectAdded: (index, object) => browsers.insertItem(index + 1, object)
                onObjectRemoved: (index, object) => browsers.removeItem(object)
            }
        }
        MenuItem {
            objectName: "updateTools"
            text: Panel.updateToolsText
            enabled: !Panel.updatingTools
            onTriggered: Panel.updateTools()
        }
        MenuSeparator {}
        MenuItem { objectName: "openLogs"; text: "查看日志"; onTriggered: Panel.openLogs() }
        MenuItem {
            objectName: "startAtLogin"
            text: "登录时启动"
            checkable: true
            checked: Panel.startsAtLogin
            onTriggered: Panel.startsAtLogin = checked
        }
        MenuItem {
            objectName: "notifyWhenDone"
            text: "完成时通知"
            checkable: true
            checked: Panel.notifyWhenDone
            onTriggered: Panel.notifyWhenDone = checked
        }
        Conditional {
            objectName: "removeOldCert"
            visible: Panel.offersOldCertRemoval
            text: "移除旧版留下的证书…"
            onTriggered: Panel.removeOldCert()
        }
        MenuItem { objectName: "quit"; text: "退出Quorvin"; onTriggered: Panel.quit() }
    }
}
