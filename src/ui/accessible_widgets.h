#pragma once

namespace vantu {

// What a screen reader is told about the app's own widgets: a row as one container with its
// named actions, texts as labels, and symbols that only decorate left out.
namespace AccessibleWidgets {

// Installs the interfaces once; later calls do nothing.
void install();

}  // namespace AccessibleWidgets

}  // namespace vantu
