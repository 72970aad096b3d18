import QtQuick
import Quorvin.Panel

// "支持这些网站，视频保存到桌面" and the supported platforms in five equal columns.
Column {
    id: sites
    spacing: 12

    Text {
        text: "支持这些网站，视频保存到桌面"
        color: Theme.secondary
        font.pointSize: Theme.bodyFont
    }
    Grid {
        id: grid
        objectName: "sitesGrid"
        columns: 5
        columnSpacing: 4
        rowSpacing: 12
        // As wide as the section, so that a cell can take its width from the grid.
        width: sites.width
        Repeater {
            model: Panel.supportedPlatforms
            Column {
                id: cell
                required property var modelData
                readonly property Grid grid: parent as Grid
                width: grid ? Math.max(10, (grid.width - 4 * grid.columnSpacing) / grid.columns)
                            : 10
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
                    font.pointSize: Theme.captionFont
                    fontSizeMode: Text.HorizontalFit
                    minimumPointSize: Theme.minimumCaptionFont
                    maximumLineCount: 1
                    elide: Text.ElideRight
                }
                HoverHandler { id: cellHover }
                Tip {
                    text: cell.modelData.name
                    shown: cellHover.hovered
                }
            }
        }
    }
}
