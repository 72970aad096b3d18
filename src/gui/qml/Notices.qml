import QtQuick
import Quorvin.Panel

// The one notice that applies, in priority: why a drop was refused (until the field changes),
// how the tools update just went, the Yuanbao login notice, the "no link" notice, the supported
// sites while the list is empty; else nothing.
Item {
    id: notices
    readonly property string current: Panel.dropHint !== "" ? "drop"
                                    : Panel.updateResult !== "" ? "update"
                                    : Panel.needsYuanbaoLogin ? "login"
                                    : !Panel.hasDetected && Panel.input.trim() !== "" ? "noLink"
                                    : Panel.items.count === 0 ? "sites" : ""

    width: parent ? parent.width : Theme.panelWidth
    height: current === "drop" ? dropHint.height + 14
          : current === "update" ? update.height + Theme.margin
          : current === "login" ? login.height + Theme.margin
          : current === "noLink" ? noLink.height + 14
          : current === "sites" ? sites.height + Theme.margin : 0
    visible: current !== ""

    Row {
        id: dropHint
        objectName: "dropHint"
        visible: notices.current === "drop"
        x: Theme.margin
        width: notices.width - 2 * Theme.margin
        spacing: 4
        Icon {
            anchors.verticalCenter: parent.verticalCenter
            name: "exclamationmark.circle"
            size: Theme.smallIconSize
            color: Theme.orange
        }
        Text {
            objectName: "dropHintText"
            width: dropHint.width - Theme.smallIconSize - dropHint.spacing
            text: Panel.dropHint
            color: Theme.orange
            font.pointSize: Theme.bodyFont
            elide: Text.ElideRight
            maximumLineCount: 1
        }
    }

    Rectangle {
        id: update
        objectName: "updateNotice"
        visible: notices.current === "update"
        x: Theme.margin
        width: notices.width - 2 * Theme.margin
        height: updateColumn.height + 2 * Theme.padding
        radius: 9
        color: Theme.fade(Theme.accent, 0.08)
        Column {
            id: updateColumn
            x: 12
            y: Theme.padding
            width: update.width - 24
            spacing: Theme.lineSpacing
            Text {
                objectName: "updateResultText"
                width: parent.width
                text: Panel.updateResult
                color: Theme.primary
                font.pointSize: Theme.bodyFont
                wrapMode: Text.Wrap
            }
            Row {
                spacing: Theme.padding
                TextButton {
                    objectName: "copyUpdateCommand"
                    visible: Panel.updateCommand !== ""
                    text: "复制命令"
                    font.pointSize: Theme.bodyFont
                    onClicked: Panel.copyUpdateCommand()
                }
                TextButton {
                    objectName: "dismissUpdateResult"
                    text: "知道了"
                    font.pointSize: Theme.bodyFont
                    onClicked: Panel.dismissUpdateResult()
                }
            }
        }
    }

    Rectangle {
        id: login
        objectName: "loginNotice"
        visible: notices.current === "login"
        x: Theme.margin
        width: notices.width - 2 * Theme.margin
        height: loginRow.height + 2 * Theme.padding
        radius: 9
        color: Theme.fade(Theme.orange, 0.1)
        Row {
            id: loginRow
            x: 12
            y: Theme.padding
            spacing: Theme.padding
            Icon {
                y: 1
                name: "lock"
                size: Theme.iconSize
                color: Theme.orange
                weight: Theme.medium
            }
            Column {
                spacing: Theme.lineSpacing
                width: login.width - 24 - Theme.iconSize - Theme.padding
                Text {
                    text: "视频号需要先登录腾讯元宝"
                    color: Theme.primary
                    font.pointSize: Theme.emphasisFont
                    font.weight: Font.DemiBold
                }
                Text {
                    width: parent.width
                    text: "点「登录并下载」，用手机微信扫码登录一次，约两个月有效。登录后会自动开始下载。"
                    color: Theme.secondary
                    font.pointSize: Theme.bodyFont
                    wrapMode: Text.Wrap
                }
            }
        }
    }

    Row {
        id: noLink
        objectName: "noLinkNotice"
        visible: notices.current === "noLink"
        x: Theme.margin
        width: notices.width - 2 * Theme.margin
        spacing: 4
        Icon {
            anchors.verticalCenter: parent.verticalCenter
            name: "exclamationmark.circle"
            size: Theme.smallIconSize
            color: Theme.orange
        }
        Text {
            text: "没有找到网址，请粘贴视频页面的链接"
            color: Theme.orange
            font.pointSize: Theme.bodyFont
        }
    }

    // Made the first time the list is empty, then kept: a panel with downloads in it need not
    // build the grid, and one that empties its list again and again need not rebuild it.
    readonly property bool sitesWanted: current === "sites"
    onSitesWantedChanged: if (sitesWanted) sites.active = true
    Component.onCompleted: if (sitesWanted) sites.active = true
    Loader {
        id: sites
        active: false
        visible: notices.sitesWanted
        x: Theme.margin
        width: notices.width - 2 * Theme.margin
        sourceComponent: SitesGrid {
            objectName: "sitesNotice"
        }
    }
}
