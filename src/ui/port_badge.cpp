#include "ui/port_badge.h"

#include "ui/appearance.h"
#include "ui/metrics.h"

#include <QPainter>
#include <QPainterPath>

namespace vantu {

PortBadge::PortBadge(uint16_t port, QWidget* parent) : QWidget(parent), port_(port) {
    setFixedSize(48, 24);
    setFont(Appearance::monospacedFont(11, QFont::Bold));
    setAccessibleName(text());
}

void PortBadge::setPort(uint16_t port) {
    if (port == port_) {
        return;
    }
    port_ = port;
    setAccessibleName(text());
    update();
}

QString PortBadge::text() const {
    return QString::number(port_);
}

double PortBadge::fillOpacity() const {
    return Appearance::isDark(palette()) ? 0.2 : 0.15;
}

void PortBadge::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = Appearance::accent(palette());
    fill.setAlphaF(static_cast<float>(fillOpacity()));
    QPainterPath background;
    background.addRoundedRect(QRectF(rect()), Metrics::controlCornerRadius, Metrics::controlCornerRadius);
    painter.fillPath(background, fill);
    // The accent itself can be too faint on its own tint; the text is kept legible.
    const QColor behind = Appearance::composite(fill, palette().color(QPalette::Window));
    painter.setPen(Appearance::readable(Appearance::accent(palette()), behind));
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter, text());
}

}  // namespace vantu
