#include "ui/popover_placement.h"

#include <gtest/gtest.h>

namespace vantu {
namespace {

TEST(PopoverPlacementTest, HangsBelowATopIconAndStandsAboveABottomOne) {
    const QSize size(290, 164);
    const QRect screen(0, 0, 1280, 800);
    const struct {
        const char* name;
        QRect anchor;
        QRect screen;
        QPoint expected;
    } cases[] = {
        {"top bar, centred under the icon", {1000, 0, 22, 22}, screen, {865, 24}},
        {"top bar, right corner: kept on screen", {1258, 0, 22, 22}, screen, {990, 24}},
        {"bottom panel: above the icon", {600, 776, 24, 24}, screen, {466, 610}},
        {"bottom panel, left corner: kept on screen", {0, 776, 24, 24}, screen, {0, 610}},
        {"second screen to the right", {1290, 0, 22, 22}, {1280, 0, 1920, 1080}, {1280, 24}},
        {"a screen too short below the icon", {100, 120, 22, 22}, {0, 0, 800, 300}, {0, 136}},
        {"the pointer as the anchor", {500, 3, 1, 1}, screen, {355, 6}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PopoverPlacement::topLeft(c.anchor, size, c.screen), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace vantu
