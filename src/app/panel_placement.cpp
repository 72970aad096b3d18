#include "app/panel_placement.h"

#include <algorithm>

namespace {

constexpr int kGap = 4;

}  // namespace

QPoint panelPosition(const QRect& anchor, const QSize& size, const QRect& available) {
    int x = anchor.center().x() - size.width() / 2;
    const bool below = anchor.center().y() < available.center().y();
    int y = below ? anchor.bottom() + 1 + kGap : anchor.top() - kGap - size.height();
    // Left and top win when the panel is larger than the screen: its header stays reachable.
    x = std::max(available.left(), std::min(x, available.right() + 1 - size.width()));
    y = std::max(available.top(), std::min(y, available.bottom() + 1 - size.height()));
    return {x, y};
}
