#include "core/link_handoff.h"

#include "core/link_detector.h"

namespace LinkHandoff {

namespace {
const QString kTooLarge = QStringLiteral("内容太长：一次最多 64 KiB");
}  // namespace

std::variant<QList<QUrl>, QString> links(const QByteArray& text) {
    if (text.size() > kMaxBytes) return kTooLarge;
    const QString decoded = QString::fromUtf8(text);
    QList<QUrl> found;
    for (const LinkDetector::Match& match : LinkDetector::findAll(decoded)) {
        const QString scheme = match.url.scheme().toLower();
        if (scheme != u"http" && scheme != u"https") {
            return QStringLiteral("只接受 http 或 https 链接，这个不是：") +
                   decoded.mid(match.start, std::min<qsizetype>(match.length, 80));
        }
        if (!found.contains(match.url)) found.append(match.url);
        if (found.size() > kMaxLinks) return QStringLiteral("链接太多：一次最多 100 个");
    }
    if (found.isEmpty()) return QStringLiteral("没有找到网页链接（只接受 http 或 https 链接）");
    return found;
}

QByteArray encode(const QByteArray& text) {
    return QByteArrayLiteral("open ") + text.toBase64();
}

std::variant<QByteArray, QString> decode(const QByteArray& payload) {
    // Base64 takes four characters for every three bytes.
    if (payload.size() > (kMaxBytes + 2) / 3 * 4) return kTooLarge;
    auto result = QByteArray::fromBase64Encoding(payload, QByteArray::AbortOnBase64DecodingErrors);
    if (!result) return QStringLiteral("消息格式不对");
    return *result;
}

}  // namespace LinkHandoff
