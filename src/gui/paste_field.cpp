#include "gui/paste_field.h"

PasteField::PasteField(DownloadManager& manager, QObject* parent)
    : QObject(parent), m_manager(manager) {}

void PasteField::setInput(const QString& text) {
    std::optional<Detected> detected;
    if (const auto url = Platform::firstURL(text))
        detected = Detected{*url, Platform::detect(*url)};
    const bool inputChanges = text != m_input;
    const bool detectedChanges = detected != m_detected;
    m_input = text;
    m_detected = detected;
    if (inputChanges) Q_EMIT inputChanged();
    if (detectedChanges) Q_EMIT detectedChanged();
}

bool PasteField::needsYuanbaoLogin() const {
    return m_detected && m_detected->platform == Platform::channels &&
           m_manager.yuanbao().loggedIn() == std::optional<bool>(false);
}

void PasteField::submit() {
    if (!m_detected) return;
    const Detected target = *m_detected;
    setInput(QString());  // a duplicate clears the field too
    m_manager.submit(target.url, target.platform);
}

std::optional<QString> PasteField::clipboardText() const {
    const auto& clipboard = m_manager.services().clipboard;
    return clipboard ? clipboard->text() : std::nullopt;
}

void PasteField::prepareForShow() {
    m_manager.yuanbao().refresh();
    if (const std::optional<QString> clipboard = clipboardText()) {
        if (const auto url = Platform::firstURL(*clipboard)) {
            const QString link = DownloadItem::linkText(*url);
            // The same clipboard link fills the field once: a field the user cleared stays so.
            if (link != m_lastAutofill && !m_manager.isDownloading(*url)) {
                setInput(link);
                m_lastAutofill = link;
            }
        }
    }
    ++m_focusTick;
    Q_EMIT focusTickChanged();
}

void PasteField::pasteFromClipboard() {
    const std::optional<QString> clipboard = clipboardText();
    if (!clipboard) return;
    if (const auto url = Platform::firstURL(*clipboard)) {
        setInput(DownloadItem::linkText(*url));
    } else {
        setInput(clipboard->trimmed());
    }
}
