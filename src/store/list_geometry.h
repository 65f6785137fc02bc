#pragma once

namespace vantu {

// Sizes shared by the store and the popover's views, in layout units (points or
// device-independent pixels). The bar heights here and the views' fixed sizes are one
// contract: change both together.
namespace ListGeometry {

inline constexpr double width = 290;
inline constexpr double rowHeight = 46;
// Tallest the list gets before it scrolls.
inline constexpr double ceiling = 300;
// 8 above and 8 below the rows.
inline constexpr double listPadding = 16;

inline constexpr double settingsBodyHeight = 274;
inline constexpr double emptyBodyHeight = 92;
// Header bar (40) and the divider under it (1).
inline constexpr double headerHeight = 41;
// Divider above the footer.
inline constexpr double footerDividerHeight = 1;
inline constexpr double footerHeight = 30;
inline constexpr double errorLineHeight = 52;

// Height of the list area for `count` rows.
double heightFor(long long count);
// Whether `count` rows need a scroll area.
bool needsScrolling(long long count);

}  // namespace ListGeometry
}  // namespace vantu
