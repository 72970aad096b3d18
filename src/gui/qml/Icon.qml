import QtQuick

// One of the shipped icons, tinted. `size` is the glyph box in pixels.
Image {
    property string name
    property color color: Theme.primary
    property real weight: Theme.regular
    property real size: 14

    width: size
    height: size
    sourceSize: Qt.size(Math.ceil(size * Screen.devicePixelRatio), Math.ceil(size * Screen.devicePixelRatio))
    source: name ? Theme.icon(name, color, weight) : ""
    smooth: true
    cache: true
}
