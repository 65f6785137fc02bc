#include "store/list_geometry.h"

#include <algorithm>

namespace vantu::ListGeometry {

// Counts are computed in floating point: a count large enough to overflow an integer
// product still gives a sensible answer.
double heightFor(long long count) {
    const double rows = static_cast<double>(std::max(count, 0LL));
    return std::min(ceiling, rows * rowHeight + listPadding);
}

bool needsScrolling(long long count) {
    return static_cast<double>(count) * rowHeight + listPadding > ceiling;
}

}  // namespace vantu::ListGeometry
