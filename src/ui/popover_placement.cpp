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

QRect panelCorner(const QRect& screen, const QRect& available) {
    if (available.bottom() < screen.bottom() && available.top() == screen.top()) {
        return {available.right(), available.bottom() + 1, 1, screen.bottom() - available.bottom()};
    }
    if (available.top() > screen.top()) {
        return {available.right(), screen.top(), 1, available.top() - screen.top()};
    }
    return {available.right(), available.top(), 1, 1};
}

}  // namespace vantu::PopoverPlacement
