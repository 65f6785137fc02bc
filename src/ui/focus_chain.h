#pragma once

#include <QList>

class QWidget;

namespace vantu {

// Tab order that follows the screen. Qt orders Tab stops by when the widgets were made, so
// rows that arrive after the footer, or that trade places, would be visited out of order.
namespace FocusChain {

// Links the widgets, in this order, into their window's Tab chain.
void apply(const QList<QWidget*>& order);

// The Tab stops inside `container`, in the order the window's chain holds them now.
[[nodiscard]] QList<QWidget*> tabStopsIn(const QWidget* container);

}  // namespace FocusChain

}  // namespace vantu
