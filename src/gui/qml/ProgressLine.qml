import QtQuick

// The row's progress: indeterminate (a sliding segment) while no fraction is known, else a
// 4-high capsule on 10 % of the primary colour with the accent part at least 4 wide. The
// indeterminate animation runs only while it is shown.
Item {
    id: bar
    property real fraction: -1
    readonly property bool indeterminate: fraction < 0

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
            width: bar.indeterminate ? bar.width * 0.3 : Math.max(bar.fraction * bar.width, 4)
            Behavior on width {
                enabled: !bar.indeterminate
                NumberAnimation { duration: Theme.progressDuration; easing.type: Easing.Linear }
            }
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
