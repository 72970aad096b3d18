#include "app/system_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

std::optional<QString> SystemClipboard::text() const {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (!data) return std::nullopt;
    // Not hasText(): on X11 that lists every format the clipboard converts to, images included,
    // which loads every image-format plugin into the tray app. A clipboard without text gives
    // an empty one.
    const QString text = data->text();
    if (text.isEmpty()) return std::nullopt;
    return text;
}

void SystemClipboard::setText(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear(QClipboard::Clipboard);
    clipboard->setText(text, QClipboard::Clipboard);
}
