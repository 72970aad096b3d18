#pragma once

#include <QByteArray>

namespace Net {

// What Net::send hands back: the whole body and the HTTP status (0 when the answer was not
// HTTP). Any status arrives here; only transport failures are thrown.
struct Response {
    QByteArray body;
    int status = 0;
};

}  // namespace Net
