#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace vantu::PopoverPlacement {

// Space between the tray icon and the popover.
inline constexpr int kGap = 2;

// Where a popover of `size` opens for a tray icon at `anchor` on a screen whose available area
// is `screen`: under the icon when the icon is in the upper half of the screen, above it
// otherwise, centred on it horizontally, and moved inside the screen where it would overhang.
QPoint topLeft(const QRect& anchor, const QSize& size, const QRect& screen);

// Where the tray icon most likely is when neither the tray nor the pointer tells (a Wayland
// compositor hides the pointer outside the app's own windows): at the far end of the panel that
// takes the screen's edge away from its `available` area (GNOME's top bar, a bottom panel),
// or else in the top-right corner. An anchor for `topLeft`.
QRect panelCorner(const QRect& screen, const QRect& available);

}  // namespace vantu::PopoverPlacement
