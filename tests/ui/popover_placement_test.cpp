#include "ui/popover_placement.h"
#include "ui/window_system_choice.h"

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

TEST(PopoverPlacementTest, WithoutAPlaceForTheIconItHangsFromTheEndOfThePanel) {
    const QRect screen(0, 0, 1280, 800);
    const QSize size(290, 164);
    const struct {
        const char* name;
        QRect available;
        QPoint expected;
    } cases[] = {
        {"GNOME's top bar", {0, 32, 1280, 768}, {990, 34}},
        {"a bottom panel", {0, 0, 1280, 752}, {990, 586}},
        {"no panel the screen tells of", screen, {990, 3}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PopoverPlacement::topLeft(PopoverPlacement::panelCorner(screen, c.available), size, c.available),
                  c.expected)
            << c.name;
    }
}

TEST(WindowSystemChoiceTest, GnomeUnderWaylandRunsThroughXwaylandUnlessTheUserChose) {
    const struct {
        const char* name;
        WindowSystemChoice::Session session;
        std::optional<std::string_view> expected;
    } cases[] = {
        {"GNOME on Wayland with Xwayland", {"", "GNOME", "wayland-0", ":0"}, "xcb"},
        {"Ubuntu's GNOME, any case", {"", "ubuntu:gnome", "wayland-0", ":1"}, "xcb"},
        {"the user's own choice", {"wayland", "GNOME", "wayland-0", ":0"}, std::nullopt},
        {"GNOME without Xwayland", {"", "GNOME", "wayland-0", ""}, std::nullopt},
        {"GNOME on X11", {"", "GNOME", "", ":0"}, std::nullopt},
        {"KDE on Wayland", {"", "KDE", "wayland-0", ":0"}, std::nullopt},
        {"sway", {"", "sway", "wayland-1", ":0"}, std::nullopt},
        {"a name that only starts like it", {"", "GNOME-Flashback", "wayland-0", ":0"}, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WindowSystemChoice::platformFor(c.session), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace vantu
