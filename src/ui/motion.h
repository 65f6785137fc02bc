#pragma once

class QWidget;

namespace vantu::Motion {

// Whether `widget` may animate. A desktop that turns animations off makes its style answer a
// zero animation duration; fades then jump to their end and spinners stand still. The hint is
// read from the widget's own style, so a proxy style set on one widget decides for it alone.
bool enabled(const QWidget& widget);

}  // namespace vantu::Motion
