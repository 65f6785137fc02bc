#pragma once

#include <optional>
#include <string_view>

namespace vantu::WindowSystemChoice {

// The session the app starts in, as its environment describes it.
struct Session {
    std::string_view qpaPlatform;     // QT_QPA_PLATFORM: the user's own choice
    std::string_view currentDesktop;  // XDG_CURRENT_DESKTOP, a colon-separated list
    std::string_view waylandDisplay;  // WAYLAND_DISPLAY
    std::string_view x11Display;      // DISPLAY: Xwayland, in a Wayland session
};

// The Qt platform to ask for, or nothing to leave the choice to Qt. GNOME's shell puts a
// Wayland window it did not open itself wherever it likes (the top-left corner, then stepped
// down), but an X11 window where it asks to be: on GNOME under Wayland, with Xwayland at hand,
// the popover opens under the tray icon only as an X11 window. The user's own choice stands.
std::optional<std::string_view> platformFor(const Session& session);

// Whether a Wayland compositor shows the app's windows, natively or through Xwayland: neither
// lets the app place a popup by grabbing the pointer, nor see the pointer outside its windows.
bool underWayland(std::string_view qtPlatform, std::string_view waylandDisplay);

}  // namespace vantu::WindowSystemChoice
