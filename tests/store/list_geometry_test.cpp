#include "store/list_geometry.h"

#include <gtest/gtest.h>

#include <limits>

namespace vantu {
namespace {

TEST(ListGeometryTest, HeightGrowsByARowUntilTheCeiling) {
    struct Case {
        long long count;
        double height;
        bool scrolls;
    };
    const Case cases[] = {
        {0, 16, false},  {1, 62, false}, {2, 108, false}, {3, 154, false},  {4, 200, false}, {5, 246, false},
        {6, 292, false}, {7, 300, true}, {8, 300, true},  {100, 300, true}, {-1, 16, false}, {-50, 16, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        EXPECT_EQ(ListGeometry::heightFor(c.count), c.height);
        EXPECT_EQ(ListGeometry::needsScrolling(c.count), c.scrolls);
    }
}

TEST(ListGeometryTest, ExtremeCountsDoNotOverflow) {
    constexpr long long most = std::numeric_limits<long long>::max();
    constexpr long long least = std::numeric_limits<long long>::min();
    EXPECT_EQ(ListGeometry::heightFor(most), 300);
    EXPECT_TRUE(ListGeometry::needsScrolling(most));
    EXPECT_EQ(ListGeometry::heightFor(least), 16);
    EXPECT_FALSE(ListGeometry::needsScrolling(least));
}

}  // namespace
}  // namespace vantu
