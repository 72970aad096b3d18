import QtQuick

// The one notice that applies, in priority: the Yuanbao login notice, the "no link" notice,
// the supported sites while the list is empty; else nothing.
Item {
    id: notices
    readonly property string current: panel.needsYuanbaoLogin ? "login"
                                    : !panel.hasDetected && panel.input.trim() !== "" ? "noLink"
                                    : panel.items.count === 0 ? "sites" : ""

    width: parent ? parent.width : 440
    height: current === "login" ? login.height + 16
          : current === "noLink" ? noLink.height + 14
          : current === "sites" ? sites.height + 16 : 0
    visible: current !== ""

    Rectangle {
        id: login
        objectName: "loginNotice"
        visible: notices.current === "login"
        x: 16
        width: notices.width - 32
        height: loginRow.height + 20
        radius: 9
        color: Theme.fade(Theme.orange, 0.1)
        Row {
            id: loginRow
            x: 12
            y: 10
            spacing: 10
            Icon {
                y: 1
                name: "lock"
                size: 14
                color: Theme.orange
                weight: Theme.medium
            }
            Column {
                spacing: 3
                width: login.width - 24 - 14 - 10
                Text {
                    text: "视频号需要先登录腾讯元宝"
                    color: Theme.primary
                    font.pointSize: Theme.points(12)
                    font.weight: Font.DemiBold
                }
                Text {
                    width: parent.width
                    text: "点「登录并下载」，用手机微信扫码登录一次，约两个月有效。登录后会自动开始下载。"
                    color: Theme.secondary
                    font.pointSize: Theme.points(11.5)
                    wrapMode: Text.Wrap
                }
            }
        }
    }

    Row {
        id: noLink
        objectName: "noLinkNotice"
        visible: notices.current === "noLink"
        x: 16
        width: notices.width - 32
        spacing: 4
        Icon {
            anchors.verticalCenter: parent.verticalCenter
            name: "exclamationmark.circle"
            size: 13
            color: Theme.orange
        }
        Text {
            text: "没有找到网址，请粘贴视频页面的链接"
            color: Theme.orange
            font.pointSize: Theme.points(11.5)
        }
    }

    SitesGrid {
        id: sites
        objectName: "sitesNotice"
        visible: notices.current === "sites"
        x: 16
        width: notices.width - 32
    }
}
