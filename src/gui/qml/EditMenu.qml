import QtQuick
import QtQuick.Controls
import Quorvin.Panel

// The link field's right-click menu, made on the first right click (see PasteRow).
PanelMenu {
    id: menu
    objectName: "editMenu"
    required property TextInput field
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
