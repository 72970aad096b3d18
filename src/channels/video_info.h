#pragma once

#include "channels/channels_video.h"
#include "core/cancel_token.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <memory>

namespace Channels {

// "https://channels.weixin.qq.com", or QUORVIN_CHANNELS_ORIGIN (channels/origin.h).
QString webOrigin();

// Asks the Channels feed-information endpoint for the post that (token, exportId) name, the
// way the Channels web page does. Throws Problem: apiChanged for an unreadable reply,
// unavailable for the service's own notice, notVideo for an image post, the transport problem
// of Net::send ("视频号"), cancelled when `cancel` fires. Main thread.
QCoro::Task<ChannelsVideo> videoInfo(QString token, QString exportId,
                                     std::shared_ptr<CancelToken> cancel = nullptr);

// The request id "<seconds since 1970 in hex>-<random %08x>".
QString requestId();

}  // namespace Channels
