#pragma once

#include <QString>

// The remote services' origins ("scheme://host[:port]", no trailing slash). Each can be pointed
// elsewhere, for tests against a server on 127.0.0.1, through one environment variable read
// once per process:
//   QUORVIN_YUANBAO_ORIGIN   the Yuanbao parse service (default https://yuanbao.tencent.com)
//   QUORVIN_CHANNELS_ORIGIN  the Channels web service (default https://channels.weixin.qq.com)
// The video file server needs no variable: its address comes from the Channels reply.
namespace Origin {

// The value of `variable` when it is an http(s) origin without path, query or fragment
// (a trailing slash is dropped); otherwise `fallback`.
QString fromEnvironment(const char* variable, const QString& fallback);

}  // namespace Origin
