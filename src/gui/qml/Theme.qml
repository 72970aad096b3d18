pragma Singleton
import QtQuick
import Quorvin.Panel

// Colours, type, sizes and motion of the panel. Accent, primary text and the field background
// come from the application palette (so a dark palette works); secondary and tertiary are the
// primary text at the usual reduced opacities; orange and green are fixed. Sizes are in
// logical pixels; font sizes are in typographic points.
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
    readonly property color frame: palette.mid  // the panel's edge against the windows behind

    // The panel's outline. Round corners and a shadow need a window that shows through, which
    // only a compositor gives; without one the corners stay square and the frame alone sets the
    // panel apart.
    readonly property int shadow: Panel.translucent ? 14 : 0  // room around the panel
    readonly property int cornerRadius: Panel.translucent ? 10 : 0

    // Sizes.
    readonly property int panelWidth: 440
    readonly property int margin: 16         // between the panel's edges and its content
    readonly property int inset: 12          // the more button and the rows, from the panel's edges
    readonly property int controlHeight: 36  // the link field and the download button
    readonly property int rowButtonSize: 26
    readonly property int thumbnailWidth: 64
    readonly property int thumbnailHeight: 40
    readonly property int badgeSize: 15      // a row's platform badge
    readonly property int iconSize: 14
    readonly property int smallIconSize: 13

    // Spacings.
    readonly property int padding: 10        // inside a row, the failure box and a notice
    readonly property int rowSpacing: 8      // between rows, and between the field and the button
    readonly property int buttonSpacing: 6   // between round buttons and between remedies
    readonly property int lineSpacing: 3     // between a title and its status line

    // Motion.
    readonly property int shortDuration: 200  // rows in and out, the list's height
    readonly property int easing: Easing.OutQuad
    readonly property int progressDuration: 250
    readonly property int sweepDuration: 1200  // one pass of the indeterminate progress
    readonly property int toolTipDelay: 700
    // A row's buttons ignore clicks this long after they changed: the button that replaces
    // another under the pointer (retry after cancel) must not take a double click's second half.
    readonly property int freshButtonDelay: 400

    // Typographic points per logical pixel on this display. Font sizes below are given as the
    // pixel height they draw, and set as points: font.pointSize keeps fractions such as 11.5
    // that font.pixelSize would round.
    readonly property real pointsPerPixel: Panel.pointsPerPixel
    readonly property real titleFont: pointsFor(14)
    readonly property real largeFont: pointsFor(13)      // the field and the download button
    readonly property real rowTitleFont: pointsFor(12.5)
    readonly property real emphasisFont: pointsFor(12)
    readonly property real bodyFont: pointsFor(11.5)
    readonly property real smallFont: pointsFor(11)      // status lines and headings
    readonly property real captionFont: pointsFor(10)    // the supported sites' names
    readonly property real minimumCaptionFont: pointsFor(8)

    function fade(c: color, opacity: real): color {
        return Qt.rgba(c.r, c.g, c.b, c.a * opacity)
    }
    function pointsFor(pixels: real): real {
        return pixels * pointsPerPixel
    }
    // Icons are drawn by the "icon" image provider in the given colour and stroke weight.
    function icon(name: string, c: color, weight: real): string {
        return "image://icon/" + name + "?color=" + encodeURIComponent(c.toString())
                + "&weight=" + weight
    }
    // Stroke widths that stand in for the font weights an icon is set beside.
    readonly property real regular: 2
    readonly property real medium: 2.25
    readonly property real semibold: 2.5
    readonly property real bold: 2.75
}
