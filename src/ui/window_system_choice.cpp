#include "ui/window_system_choice.h"

#include <algorithm>
#include <cctype>

namespace vantu::WindowSystemChoice {
namespace {

bool sameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// "ubuntu:GNOME", "GNOME-Classic:GNOME", "pop:GNOME" all name GNOME's shell among their desktops.
bool namesGnome(std::string_view desktops) {
    while (!desktops.empty()) {
        const std::size_t colon = desktops.find(':');
        if (sameLetters(desktops.substr(0, colon), "GNOME")) {
            return true;
        }
        if (colon == std::string_view::npos) {
            break;
        }
        desktops.remove_prefix(colon + 1);
    }
    return false;
}

}  // namespace

std::optional<std::string_view> platformFor(const Session& session) {
    if (!session.qpaPlatform.empty() || session.waylandDisplay.empty() || session.x11Display.empty() ||
        !namesGnome(session.currentDesktop)) {
        return std::nullopt;
    }
    return "xcb";
}

bool underWayland(std::string_view qtPlatform, std::string_view waylandDisplay) {
    return qtPlatform.starts_with("wayland") || (qtPlatform == "xcb" && !waylandDisplay.empty());
}

}  // namespace vantu::WindowSystemChoice
