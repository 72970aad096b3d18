import QtQuick
import QtQuick.Controls

// The tooltip a Tip makes when it first shows.
ToolTip {
    delay: Theme.toolTipDelay
}
