import QtQuick
import QtQuick.Controls
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
            TextField {
                id: field
                objectName: "linkField"
                anchors.verticalCenter: parent.verticalCenter
                width: groupRow.width - leading.width - trailing.width - 2 * groupRow.spacing
                leftPadding: 0
                rightPadding: 0
                topPadding: 0
                bottomPadding: 0
                background: null
                placeholderText: "粘贴视频链接"
                placeholderTextColor: Theme.tertiary
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

                // Made on the first right click, which most showings of the panel never see.
                property EditMenu editMenu: null
                TapHandler {
                    acceptedButtons: Qt.RightButton
                    onTapped: {
                        if (!field.editMenu)
                            field.editMenu = editMenuComponent.createObject(field, {field: field})
                        field.editMenu.popup()
                    }
                }
                Component {
                    id: editMenuComponent
                    EditMenu {}
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
                        anchors.fill: parent
                        anchors.margins: -3
                        hoverEnabled: true
                        onClicked: Panel.input = ""
                        ToolTip.visible: containsMouse
                        ToolTip.delay: Theme.toolTipDelay
                        ToolTip.text: "清空"
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

    // The link field's right-click menu.
    component EditMenu: PanelMenu {
        id: menu
        objectName: "editMenu"
        required property TextField field
        ShortcutMenuItem {
            text: "撤销"; shortcutText: "Ctrl+Z"
            enabled: menu.field.canUndo
            onTriggered: menu.field.undo()
        }
        MenuSeparator {}
        ShortcutMenuItem {
            text: "剪切"; shortcutText: "Ctrl+X"
            enabled: menu.field.selectedText !== ""
            onTriggered: menu.field.cut()
        }
        ShortcutMenuItem {
            text: "拷贝"; shortcutText: "Ctrl+C"
            enabled: menu.field.selectedText !== ""
            onTriggered: menu.field.copy()
        }
        ShortcutMenuItem {
            text: "粘贴"; shortcutText: "Ctrl+V"
            enabled: menu.field.canPaste
            onTriggered: menu.field.paste()
        }
        MenuSeparator {}
        ShortcutMenuItem {
            text: "全选"; shortcutText: "Ctrl+A"
            enabled: menu.field.text !== ""
            onTriggered: menu.field.selectAll()
        }
    }
}
