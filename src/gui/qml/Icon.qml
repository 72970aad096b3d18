import QtQuick

// One of the shipped icons, tinted. `size` is the glyph box in logical pixels.
Image {
    property string name
    property color color: Theme.primary
    property real weight: Theme.regular
    property real size: Theme.iconSize

    width: size
    height: size
    sourceSize.width: Math.ceil(size * Screen.devicePixelRatio)
    sourceSize.height: Math.ceil(size * Screen.devicePixelRatio)
    source: name ? Theme.icon(name, color, weight) : ""
    smooth: true
    cache: true
}
