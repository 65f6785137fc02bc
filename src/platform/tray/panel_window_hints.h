#pragma once

class QWindow;

namespace vantu::platform {

// Asks an X11 window manager to leave a window out of the taskbar, the task switcher and the
// overview (EWMH skip-taskbar and skip-pager states): a panel that drops from a tray icon is no
// window of its own to switch to. Call while the window is hidden, before each show, since a
// window manager forgets the states when the window is withdrawn. Does nothing off X11 (Wayland
// has no such request that GNOME or sway honour).
void skipTaskbarAndPager(QWindow& window);

}  // namespace vantu::platform
