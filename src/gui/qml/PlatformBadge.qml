import QtQuick

// A platform's coloured square with its mark: corner radius 0.27 × size, a top-leading to
// bottom-trailing gradient through the platform's colours (a single colour runs to 82 % of
// itself), and the mark in white, bold, 0.56 × size.
Item {
    id: badge
    property var platform
    property real size: 18

    readonly property real cornerRadius: 0.27 * size
    readonly property real markSize: 0.56 * size
    readonly property var stops: {
        const colors = platform ? platform.colors : []
        if (colors.length >= 2) return colors
        const c = colors.length ? colors[0] : Qt.rgba(0.5, 0.5, 0.5, 1)
        return [c, Theme.fade(c, 0.82)]
    }

    width: size
    height: size

    Image {
        objectName: "badgeFill"
        anchors.fill: parent
        readonly property int pixels: Math.ceil(badge.size * Screen.devicePixelRatio)
        sourceSize.width: pixels
        sourceSize.height: pixels
        source: "image://badge/fill?radius=" + badge.cornerRadius / badge.size + "&stops="
                + badge.stops.map(c => encodeURIComponent(c.toString())).join(",")
        cache: true
    }
    Text {
        objectName: "badgeMark"
        anchors.centerIn: parent
        text: badge.platform ? badge.platform.mark : ""
        color: "white"
        font.pointSize: Theme.pointsFor(badge.markSize)
        font.bold: true
    }
}
