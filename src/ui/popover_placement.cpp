#include "ui/popover_placement.h"

#include <algorithm>

namespace vantu::PopoverPlacement {

QPoint topLeft(const QRect& anchor, const QSize& size, const QRect& screen) {
    const bool iconAtTop = anchor.center().y() < screen.center().y();
    int x = anchor.center().x() - size.width() / 2;
    int y = iconAtTop ? anchor.bottom() + 1 + kGap : anchor.top() - kGap - size.height();
    // Clamp to the screen; a popover larger than the screen keeps its top-left corner visible.
    x = std::max(screen.left(), std::min(x, screen.right() + 1 - size.width()));
    y = std::max(screen.top(), std::min(y, screen.bottom() + 1 - size.height()));
    return {x, y};
}

}  // namespace vantu::PopoverPlacement
