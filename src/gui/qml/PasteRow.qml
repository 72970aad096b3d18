import QtQuick
import Quorvin.Panel

// The link field (with the platform chip or link icon, and "粘贴" or the clear button) and the
// download button.
Item {
    id: pasteRow
    property alias field: field
    readonly property bool inputFocused: field.activeFocus
    readonly property bool showsChip: Panel.hasDetected

    height: Theme.controlHeight + Theme.inset

    Rectangle {
        id: group
        objectName: "fieldGroup"
        x: Theme.margin
        width: button.x - Theme.rowSpacing - x
        height: Theme.controlHeight
        radius: 9
        color: Theme.textBackground

        Row {
            id: groupRow
            objectName: "fieldRow"
            x: pasteRow.showsChip ? 6 : Theme.padding
            width: group.width - x - 9
            height: parent.height
            spacing: 8

            Loader {
                id: leading
                anchors.verticalCenter: parent.verticalCenter
                sourceComponent: pasteRow.showsChip ? chipComponent : linkComponent
            }
            // A plain text input, not a Controls field: the panel's first frame does without
            // Qt Quick Controls.
            TextInput {
                id: field
                objectName: "linkField"
                readonly property string placeholderText: "粘贴视频链接"
                anchors.verticalCenter: parent.verticalCenter
                width: groupRow.width - leading.width - trailing.width - 2 * groupRow.spacing
                clip: true
                activeFocusOnTab: true
                color: Theme.primary
                selectionColor: Theme.accent
                selectedTextColor: Theme.palette.highlightedText
                selectByMouse: true
                font.pointSize: Theme.largeFont
                text: Panel.input
                onTextEdited: Panel.input = text
                onAccepted: Panel.submit()
                // Escape belongs to the window, which hides the Panel.
                Keys.onEscapePressed: (event) => { event.accepted = false }

                Text {
                    objectName: "linkPlaceholder"
                    anchors.verticalCenter: parent.verticalCenter
                    width: parent.width
                    visible: field.text === "" && !field.preeditText
                    text: field.placeholderText
                    color: Theme.tertiary
                    font: field.font
                    elide: Text.ElideRight
                }

                // Made on the first right click, which most showings of the panel never see.
                property var editMenu: null
                TapHandler {
                    acceptedButtons: Qt.RightButton
                    onTapped: {
                        if (!field.editMenu) {
                            field.editMenu = Qt.createComponent("EditMenu.qml")
                                               .createObject(field, {field: field})
                        }
                        field.editMenu.popup()
                    }
                }
            }
            Item {
                id: trailing
                anchors.verticalCenter: parent.verticalCenter
                width: Panel.input !== "" ? clear.width : paste.implicitWidth
                height: 20
                Icon {
                    id: clear
                    objectName: "clearButton"
                    anchors.verticalCenter: parent.verticalCenter
                    visible: Panel.input !== ""
                    name: "xmark.circle.fill"
                    size: 15
                    color: Theme.tertiary
                    MouseArea {
                        id: clearMouse
                        anchors.fill: parent
                        anchors.margins: -3
                        hoverEnabled: true
                        onClicked: Panel.input = ""
                        Tip {
                            text: "清空"
                            shown: clearMouse.containsMouse
                        }
                    }
                }
                TextButton {
                    id: paste
                    objectName: "pasteButton"
                    anchors.verticalCenter: parent.verticalCenter
                    visible: Panel.input === ""
                    text: "粘贴"
                    font.pointSize: Theme.emphasisFont
                    font.weight: Font.Medium
                    onClicked: Panel.pasteFromClipboard()
                }
            }
        }
        // The border is drawn inside the field's shape.
        Rectangle {
            objectName: "fieldBorder"
            anchors.fill: parent
            radius: parent.radius
            color: "transparent"
            border.width: field.activeFocus ? 1.5 : 1
            border.color: field.activeFocus ? Theme.fade(Theme.accent, 0.75)
                                            : Theme.fade(Theme.primary, 0.14)
        }
    }

    PrimaryButton {
        id: button
        objectName: "downloadButton"
        x: pasteRow.width - Theme.margin - width
        enabled: Panel.hasDetected
        iconName: "arrow.down"
        text: Panel.needsYuanbaoLogin ? "登录并下载" : "下载"
        onClicked: Panel.submit()
    }

    Component {
        id: chipComponent
        PlatformChip {
            objectName: "platformChip"
            platform: Panel.detectedPlatform
        }
    }
    Component {
        id: linkComponent
        Icon {
            objectName: "linkIcon"
            name: "link"
            size: Theme.iconSize
            color: Theme.secondary
            weight: Theme.medium
        }
    }
}
