#pragma once

#include <QString>

#include <optional>

namespace Channels {

// The host of Channels share pages.
inline constexpr char16_t kShareHost[] = u"weixin.qq.com";

// The first Channels share link in any text ("http(s)://weixin.qq.com/sph/<id>"), always
// returned with "https://". Case-sensitive; the identifier ends at the first character outside
// [A-Za-z0-9_-], so a query, a slash or full-width punctuation is not part of it.
std::optional<QString> shareLink(const QString& text);

}  // namespace Channels
