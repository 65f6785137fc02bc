#pragma once

#include "core/listener.h"

class QMenu;
class QWidget;

namespace vantu {

class PortStore;

// The menu of a row (right click, the Menu key, Shift+F10): open the server, copy its address,
// show its folder; choose the project folder; stop the process group or the unit it runs in.
// Every item calls a store operation.
namespace RowMenu {

// The caller owns the menu.
[[nodiscard]] QMenu* build(PortStore& store, const Listener& listener, QWidget* parent);

}  // namespace RowMenu
}  // namespace vantu
