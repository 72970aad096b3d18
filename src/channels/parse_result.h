#pragma once

#include <QString>

namespace Yuanbao {

// What the Yuanbao parse service gives for a share link: the playback token and the post's
// export identifier, both non-empty. The Channels feed request takes exactly this pair.
struct ParseResult {
    QString token;
    QString exportId;

    friend bool operator==(const ParseResult&, const ParseResult&) = default;
};

}  // namespace Yuanbao
