#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <variant>

// Links handed to Quorvin from outside: "quorvin LINK…", share text piped into it, or a second
// launch passing them on to the running copy over its socket. All of it is untrusted: a message
// is bounded in size and in links, carries only web links, and is taken whole or not at all.
namespace LinkHandoff {

inline constexpr qsizetype kMaxBytes = 64 * 1024;
inline constexpr qsizetype kMaxLinks = 100;

// The web links of `text`, in text order and without repeats, or the one line that says why
// nothing is taken.
std::variant<QList<QUrl>, QString> links(const QByteArray& text);

// The socket's message for `text` ("open <base64>"), without its line end.
QByteArray encode(const QByteArray& text);
// The text of an "open" message's payload, or the reason it is refused. Decoding alone is
// bounded: a payload larger than the largest allowed text is refused before it is decoded.
std::variant<QByteArray, QString> decode(const QByteArray& payload);

}  // namespace LinkHandoff
