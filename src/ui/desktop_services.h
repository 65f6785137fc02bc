#pragma once

#include "store/port_store.h"

namespace vantu {

// The desktop as Qt reaches it: URLs open through QDesktopServices (the desktop portal under
// Wayland and in sandboxes, xdg-open otherwise), copies go to the clipboard and, where the
// window system has one (X11), to the primary selection too.
Desktop desktopServices();

}  // namespace vantu
