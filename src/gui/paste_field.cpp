#include "gui/paste_field.h"

#include "core/link_handoff.h"

namespace {

bool isWebLink(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == u"http" || scheme == u"https";
}

}  // namespace

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
    if (inputChanges) setDropHint(QString());
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
    setDropHint(QString());
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

bool PasteField::fillFromDrop(const QList<QUrl>& links, const QString& text) {
    // Whatever is dropped comes from any program: it is bounded before it is read.
    const QString noLink = QStringLiteral("没有找到网页链接（只接受 http 或 https 链接）");
    QString dropped;
    if (!links.isEmpty()) {
        QStringList webLinks;
        for (const QUrl& link : links) {
            if (isWebLink(link)) webLinks.append(link.toString(QUrl::FullyEncoded));
        }
        if (webLinks.isEmpty()) {
            setDropHint(noLink);
            return false;
        }
        dropped = webLinks.join(u'\n');
    } else {
        dropped = text;
    }
    if (dropped.size() > LinkHandoff::kMaxBytes ||
        dropped.toUtf8().size() > LinkHandoff::kMaxBytes) {
        setDropHint(QStringLiteral("内容太长：一次最多 64 KiB"));
        return false;
    }
    const std::optional<QUrl> url = Platform::firstURL(dropped);
    if (!url || !isWebLink(*url)) {
        setDropHint(noLink);
        return false;
    }
    setInput(DownloadItem::linkText(*url));
    setDropHint(QString());
    return true;
}

void PasteField::setDropHint(const QString& hint) {
    if (hint == m_dropHint) return;
    m_dropHint = hint;
    Q_EMIT dropHintChanged();
}
