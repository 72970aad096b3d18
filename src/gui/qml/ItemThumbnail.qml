import QtQuick

// A row's thumbnail: 64 × 40 with rounded corners, on a tint of the platform's colour while no
// picture is known, and the platform's badge at the bottom-leading corner.
Item {
    id: thumb
    property var platform
    property url source
    // The colour around the thumbnail, which its rounded corners show.
    property color surroundColor

    objectName: "thumbnail"
    width: Theme.thumbnailWidth
    height: Theme.thumbnailHeight

    readonly property int cornerRadius: 6  // the corner pieces below are as large
    readonly property real badgeInset: 3

    Rectangle {
        anchors.fill: parent
        radius: thumb.cornerRadius
        color: thumb.platform ? Theme.fade(thumb.platform.color, 0.2) : "transparent"
    }
    Image {
        id: picture
        objectName: "thumbnailImage"
        anchors.fill: parent
        visible: status === Image.Ready
        source: thumb.source
        asynchronous: true
        cache: false
        fillMode: Image.PreserveAspectCrop
        sourceSize.width: Math.round(Theme.thumbnailWidth * Screen.devicePixelRatio)
        sourceSize.height: Math.round(Theme.thumbnailHeight * Screen.devicePixelRatio)
    }
    // The software renderer cannot clip to a rounded shape: the four corners are covered with
    // the colour the row shows around the picture, each piece turned a quarter further.
    component Corner: Image {
        property color surround
        width: 6
        height: 6
        sourceSize.width: Math.ceil(width * Screen.devicePixelRatio)
        sourceSize.height: Math.ceil(height * Screen.devicePixelRatio)
        source: visible ? "image://badge/corner?color=" + encodeURIComponent(surround.toString()) : ""
    }
    Corner {
        visible: picture.visible
        surround: thumb.surroundColor
    }
    Corner {
        x: thumb.width - width
        rotation: 90
        visible: picture.visible
        surround: thumb.surroundColor
    }
    Corner {
        x: thumb.width - width
        y: thumb.height - height
        rotation: 180
        visible: picture.visible
        surround: thumb.surroundColor
    }
    Corner {
        y: thumb.height - height
        rotation: 270
        visible: picture.visible
        surround: thumb.surroundColor
    }
    Rectangle {
        x: thumb.badgeInset
        y: thumb.height - thumb.badgeInset - Theme.badgeSize + 0.5
        width: Theme.badgeSize
        height: Theme.badgeSize
        radius: 0.27 * Theme.badgeSize
        color: Qt.rgba(0, 0, 0, 0.3)
    }
    PlatformBadge {
        x: thumb.badgeInset
        y: thumb.height - thumb.badgeInset - Theme.badgeSize
        platform: thumb.platform
        size: Theme.badgeSize
    }
}
