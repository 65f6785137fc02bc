#pragma once

#include "store/list_geometry.h"

#include <QMargins>
#include <QSize>

namespace vantu {

// The views' sizes in whole pixels, each written once. Those the store counts in the popover's
// height come from ListGeometry, so a change there moves the views with it.
namespace Metrics {

// Lengths in ListGeometry are whole numbers of layout units.
constexpr int pixels(double length) {
    return static_cast<int>(length + 0.5);
}

inline constexpr int popoverWidth = pixels(ListGeometry::width);
inline constexpr int rowHeight = pixels(ListGeometry::rowHeight);
inline constexpr int dividerHeight = pixels(ListGeometry::footerDividerHeight);
// ListGeometry's header height counts the divider under the bar.
inline constexpr int headerHeight = pixels(ListGeometry::headerHeight) - dividerHeight;
inline constexpr int footerHeight = pixels(ListGeometry::footerHeight);
inline constexpr int errorLineHeight = pixels(ListGeometry::errorLineHeight);
// Above the first row and below the last.
inline constexpr int listPadding = pixels(ListGeometry::listPadding / 2);

// The header, the error line, the footer and a status message share their left and right edges.
inline constexpr int barInset = 12;
inline constexpr QMargins barMargins(barInset, 0, barInset, 0);

// The header's icon buttons: the square that takes clicks and the glyph drawn in it.
inline constexpr int headerButtonSize = 24;
inline constexpr int headerGlyphSize = 13;

// The Stop button; the slot on the right of a row is as wide, whether it holds the button, the
// spinner or the lock.
inline constexpr QSize stopButtonSize(51, 23);
inline constexpr int actionSlotWidth = stopButtonSize.width();

// Corner radius of the port badge and the Stop button.
inline constexpr double controlCornerRadius = 5;

}  // namespace Metrics
}  // namespace vantu
