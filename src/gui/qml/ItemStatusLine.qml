import QtQuick
import Quorvin.Panel

// The line under a row's title: the check mark and green when saved, the warning mark and
// orange (wrapping, not cut) for a failure with a box, else the secondary colour on one line.
Row {
    id: line
    property int phase: ItemListModel.Working
    property string text
    property bool showsFailure: false

    readonly property bool done: phase === ItemListModel.Done

    objectName: "status"
    spacing: Theme.lineSpacing

    Icon {
        anchors.top: parent.top
        anchors.topMargin: 2
        visible: line.done || line.showsFailure
        name: line.done ? "checkmark" : "exclamationmark.triangle.fill"
        color: line.done ? Theme.green : Theme.orange
        weight: Theme.semibold
        size: 11
    }
    Text {
        objectName: "statusText"
        width: line.width - (x > 0 ? 14 : 0)
        text: line.text
        color: line.done ? Theme.green : line.showsFailure ? Theme.orange : Theme.secondary
        font.pointSize: Theme.smallFont
        font.weight: line.showsFailure ? Font.Medium : Font.Normal
        wrapMode: line.showsFailure ? Text.Wrap : Text.NoWrap
        elide: line.showsFailure ? Text.ElideNone : Text.ElideRight
    }
}
