import QtQuick

// Below a failed row: the advice (selectable, for copying a command) and the remedies, the
// first one primary.
Rectangle {
    id: box
    property string advice
    property var actions: []
    signal performed(string key)

    objectName: "failureBox"
    height: column.implicitHeight + 2 * Theme.padding
    radius: 8
    color: Theme.fade(Theme.orange, 0.1)

    Column {
        id: column
        x: Theme.padding
        y: Theme.padding
        width: box.width - 2 * Theme.padding
        spacing: Theme.rowSpacing
        TextEdit {
            objectName: "advice"
            visible: box.advice !== ""
            width: column.width
            text: box.advice
            readOnly: true
            selectByMouse: true
            wrapMode: TextEdit.Wrap
            color: Theme.fade(Theme.primary, 0.82)
            selectionColor: Theme.accent
            font.pointSize: Theme.bodyFont
        }
        Flow {
            objectName: "remedies"
            visible: box.actions.length > 0
            width: column.width
            spacing: Theme.buttonSpacing
            Repeater {
                model: box.actions
                RemedyButton {
                    required property var modelData
                    required property int index
                    text: modelData.label
                    primary: index === 0
                }
                // Connected here: a delegate cannot name the box it is repeated in.
                onItemAdded: (index, item) => (item as RemedyButton).clicked.connect(
                                 () => box.performed(box.actions[index].key))
            }
        }
    }
}
