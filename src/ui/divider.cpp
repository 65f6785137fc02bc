#include "ui/divider.h"

#include "ui/appearance.h"
#include "ui/metrics.h"

#include <QPainter>

namespace vantu {

Divider::Divider(QWidget* parent) : QWidget(parent) {
    setFixedHeight(Metrics::dividerHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void Divider::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    QColor line = Appearance::primary(palette());
    // The separator colour, drawn at 50 % opacity.
    line.setAlphaF(0.2F * 0.5F);
    painter.fillRect(rect(), line);
}

}  // namespace vantu
