pragma Singleton
import QtQuick

// Colours and type of the panel. Accent, primary text and the field background come from the
// application palette (so a dark palette works); secondary and tertiary are the primary text at
// the usual reduced opacities; orange and green are fixed.
QtObject {
    id: theme

    readonly property SystemPalette palette: SystemPalette { colorGroup: SystemPalette.Active }

    readonly property color accent: palette.highlight
    readonly property color primary: palette.windowText
    readonly property color secondary: fade(primary, 0.55)
    readonly property color tertiary: fade(primary, 0.3)
    readonly property color textBackground: palette.base
    readonly property color window: palette.window
    readonly property color orange: "#FF9500"
    readonly property color green: "#28A745"

    // Set by the panel from the display (points per pixel); sizes below are given in pixels.
    property real pointsPerPixel: 0.75

    function fade(c, opacity) {
        return Qt.rgba(c.r, c.g, c.b, c.a * opacity)
    }
    function points(pixels) {
        return pixels * pointsPerPixel
    }
    // Icons are drawn by the "icon" image provider in the given colour and stroke weight.
    function icon(name, c, weight) {
        return "image://icon/" + name + "?color=" + encodeURIComponent(c.toString())
                + "&weight=" + (weight === undefined ? 2 : weight)
    }
    // Stroke widths that stand in for the font weights an icon is set beside.
    readonly property real regular: 2
    readonly property real medium: 2.25
    readonly property real semibold: 2.5
    readonly property real bold: 2.75
}
