import QtQuick

// The row's progress: indeterminate (a sliding segment) while no fraction is known, else a
// 4-high capsule on 10 % of the primary colour with the accent part at least 4 wide. The
// indeterminate animation runs only while it is shown. A known fraction starts from 0 and only
// glides forwards: a fraction that goes down (a new attempt, or another download's numbers in
// this bar) is shown at once, never drawn running backwards.
Item {
    id: bar
    property real fraction: -1
    readonly property bool indeterminate: fraction < 0
    // The fraction the fill is drawn at; it follows `fraction`.
    property real shownFraction: 0

    onFractionChanged: {
        if (fraction > shownFraction) {
            forwards.to = fraction
            forwards.restart()
        } else {
            forwards.stop()
            shownFraction = Math.max(fraction, 0)
        }
    }
    NumberAnimation {
        id: forwards
        target: bar
        property: "shownFraction"
        duration: Theme.progressDuration
        easing.type: Easing.Linear
    }

    height: 4

    Rectangle {
        id: track
        anchors.fill: parent
        radius: 2
        color: Theme.fade(Theme.primary, 0.1)
        clip: bar.indeterminate
        Rectangle {
            id: fill
            objectName: "progressFill"
            height: parent.height
            radius: 2
            color: Theme.accent
            x: 0
            width: bar.indeterminate ? bar.width * 0.3 : Math.max(bar.shownFraction * bar.width, 4)
        }
    }
    NumberAnimation {
        target: fill
        property: "x"
        from: -bar.width * 0.3
        to: bar.width
        duration: Theme.sweepDuration
        loops: Animation.Infinite
        running: bar.indeterminate && bar.visible
        onRunningChanged: if (!running) fill.x = 0
    }
}
