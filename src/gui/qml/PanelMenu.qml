import QtQuick
import QtQuick.Controls

// A menu in the panel's colours: popups take the style's palette, not the application's, so a
// dark desktop would otherwise get light menus.
Menu {
    palette.window: Theme.window
    palette.windowText: Theme.primary
    palette.base: Theme.textBackground
    palette.text: Theme.primary
    palette.button: Theme.window
    palette.buttonText: Theme.primary
    palette.highlight: Theme.accent
    palette.highlightedText: Theme.palette.highlightedText
    palette.light: Theme.palette.light
    palette.mid: Theme.palette.mid
    palette.midlight: Theme.palette.midlight
    palette.dark: Theme.palette.dark
    palette.shadow: Theme.palette.shadow
}
