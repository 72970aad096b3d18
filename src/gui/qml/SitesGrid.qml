import QtQuick
import QtQuick.Controls

// "支持这些网站，视频保存到桌面" and the supported platforms in five equal columns.
Column {
    id: sites
    spacing: 12

    Text {
        text: "支持这些网站，视频保存到桌面"
        color: Theme.secondary
        font.pointSize: Theme.points(11.5)
    }
    Grid {
        id: grid
        objectName: "sitesGrid"
        columns: 5
        columnSpacing: 4
        rowSpacing: 12
        readonly property real cellWidth: Math.max(10, (sites.width - 4 * columnSpacing) / columns)
        Repeater {
            model: panel.supportedPlatforms
            Column {
                id: cell
                required property var modelData
                width: grid.cellWidth
                spacing: 5
                PlatformBadge {
                    anchors.horizontalCenter: parent.horizontalCenter
                    platform: cell.modelData
                    size: 26
                }
                Text {
                    objectName: "siteName"
                    width: parent.width
                    height: Math.ceil(fontInfo.pixelSize * 1.4)
                    horizontalAlignment: Text.AlignHCenter
                    text: cell.modelData.name
                    color: Theme.secondary
                    font.pointSize: Theme.points(10)
                    fontSizeMode: Text.HorizontalFit
                    minimumPointSize: Theme.points(8)
                    maximumLineCount: 1
                    elide: Text.ElideRight
                }
                HoverHandler { id: cellHover }
                ToolTip.visible: cellHover.hovered
                ToolTip.delay: 700
                ToolTip.text: modelData.name
            }
        }
    }
}
