import QtQuick
import QtQuick.Controls

// A menu in the panel's colours: popups take the style's palette, not the application's, so a
// dark desktop would otherwise get light menus.
Menu {
    id: menu

    // As wide as its widest entry: the style's fixed width would cut off a long one such as the
    // tools entry with its versions.
    readonly property real widestEntry: {
        let widest = 0
        for (let i = 0; i < count; ++i) {
            const entry = itemAt(i)
            if (entry && entry.visible && entry.contentItem) {
                widest = Math.max(widest, entry.implicitContentWidth + entry.leftPadding
                                  + entry.rightPadding)
            }
        }
        return widest
    }
    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            widestEntry + leftPadding + rightPadding)

    palette.window: Theme.window
    palette.base: Theme.textBackground
    palette.button: Theme.window
    palette.highlight: Theme.accent
    palette.highlightedText: Theme.palette.highlightedText
    palette.light: Theme.palette.light
    palette.mid: Theme.palette.mid
    palette.midlight: Theme.palette.midlight
    palette.dark: Theme.palette.dark
    palette.shadow: Theme.palette.shadow
    // Text by state: an entry that does nothing (the login state) must not look like one that
    // does.
    palette.active.windowText: Theme.primary
    palette.active.text: Theme.primary
    palette.active.buttonText: Theme.primary
    palette.inactive.windowText: Theme.primary
    palette.inactive.text: Theme.primary
    palette.inactive.buttonText: Theme.primary
    palette.disabled.windowText: Theme.tertiary
    palette.disabled.text: Theme.tertiary
    palette.disabled.buttonText: Theme.tertiary
}
