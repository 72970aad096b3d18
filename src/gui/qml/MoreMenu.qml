import QtQuick
import QtQuick.Controls

// The header's "⋯" button and its menu.
Item {
    id: more
    property alias menu: menu
    // How far below this button the open menu reaches. The menu is drawn inside the panel's
    // window, so the window must grow to hold it while it is open (with a short list the panel
    // is shorter than the menu, and "退出Quorvin" would be cut off).
    readonly property real menuReach: menu.visible ? more.height + menu.height + 8 : 0
    width: 28
    height: 28

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
        onClicked: {
            panel.refreshMenu()
            menu.popup(more, more.width - menu.width, more.height)
        }
        ToolTip.visible: containsMouse && !menu.visible
        ToolTip.delay: 700
        ToolTip.text: "更多"
    }

    component SectionTitle: MenuItem {
        enabled: false
        font.pointSize: Theme.points(11)
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
            if (!more.Window.window.visible) menu.close()
        }
    }

    PanelMenu {
        id: menu
        objectName: "moreMenu"
        MenuItem { objectName: "openDesktop"; text: "打开桌面"; onTriggered: panel.openDesktop() }
        MenuSeparator {}
        SectionTitle { text: "腾讯元宝（视频号用）" }
        Conditional {
            objectName: "yuanbaoState"
            visible: panel.yuanbaoLoggedIn
            enabled: false
            text: "已登录" + (panel.yuanbaoUntil !== "" ? " · 至 " + panel.yuanbaoUntil : "")
        }
        Conditional {
            objectName: "logoutYuanbao"
            visible: panel.yuanbaoLoggedIn
            text: "退出元宝登录"
            onTriggered: panel.logoutYuanbao()
        }
        Conditional {
            objectName: "loginYuanbao"
            visible: !panel.yuanbaoLoggedIn
            text: "登录腾讯元宝…"
            onTriggered: panel.showYuanbaoLogin()
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
                checked: panel.cookieBrowser === ""
                onTriggered: panel.cookieBrowser = ""
            }
            Instantiator {
                model: panel.installedBrowsers
                delegate: MenuItem {
                    required property var modelData
                    text: modelData.name
                    checkable: true
                    checked: panel.cookieBrowser === modelData.raw
                    onTriggered: panel.cookieBrowser = modelData.raw
                }
                onObjectAdded: (index, object) => browsers.insertItem(index + 1, object)
                onObjectRemoved: (index, object) => browsers.removeItem(object)
            }
        }
        MenuItem {
            objectName: "updateTools"
            text: panel.updatingTools ? "正在更新下载组件…"
                  : "更新下载组件" + (panel.toolsStatus !== "" ? "（" + panel.toolsStatus + "）" : "")
            enabled: !panel.updatingTools
            onTriggered: panel.updateTools()
        }
        MenuSeparator {}
        MenuItem { objectName: "openLogs"; text: "查看日志"; onTriggered: panel.openLogs() }
        MenuItem {
            objectName: "startAtLogin"
            text: "登录时启动"
            checkable: true
            checked: panel.startsAtLogin
            onTriggered: panel.startsAtLogin = checked
        }
        Conditional {
            objectName: "removeOldCert"
            visible: panel.offersOldCertRemoval
            text: "移除旧版留下的证书…"
            onTriggered: panel.removeOldCert()
        }
        MenuItem { objectName: "quit"; text: "退出Quorvin"; onTriggered: panel.quit() }
    }
}
