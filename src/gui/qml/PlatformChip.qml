import QtQuick

// Badge and name of a recognised link's platform, shown in the paste field.
Rectangle {
    id: chip
    property var platform

    implicitWidth: content.implicitWidth + 3 + 7
    width: implicitWidth
    height: 22
    radius: 6
    color: platform ? Theme.fade(platform.color, 0.16) : "transparent"

    Row {
        id: content
        x: 3
        anchors.verticalCenter: parent.verticalCenter
        spacing: 4
        PlatformBadge {
            anchors.verticalCenter: parent.verticalCenter
            platform: chip.platform
            size: 16
        }
        Text {
            objectName: "chipName"
            anchors.verticalCenter: parent.verticalCenter
            text: chip.platform ? chip.platform.name : ""
            color: Theme.primary
            font.pointSize: Theme.bodyFont
            font.weight: Font.DemiBold
            maximumLineCount: 1
        }
    }
}
