import QtQuick
import QtQuick.Controls
import Quorvin.Panel

// The entries of the header's "⋯" menu, made on its first opening (see MoreMenu).
PanelMenu {
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

    component SectionTitle: MenuItem {
        enabled: false
        font.pointSize: Theme.smallFont
        font.weight: Font.DemiBold
    }
    // Entries hidden by a condition take no room.
    component Conditional: MenuItem {
        height: visible ? implicitHeight : 0
    }
}
