#include "ui/spinner.h"

#include "ui/appearance.h"
#include "ui/motion.h"

#include <QEvent>
#include <QPainter>

namespace vantu {
namespace {

constexpr int kSpokes = 12;

}  // namespace

Spinner::Spinner(int diameter, QWidget* parent) : QWidget(parent), diameter_(diameter) {
    timer_.setInterval(1000 / kSpokes);
    connect(&timer_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % kSpokes;
        update();
    });
}

QSize Spinner::sizeHint() const {
    return {diameter_, diameter_};
}

void Spinner::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(QRectF(rect()).center());
    const double outer = diameter_ / 2.0;
    const double inner = outer * 0.45;
    QColor color = Appearance::primary(palette());
    for (int i = 0; i < kSpokes; ++i) {
        // The spoke at the current step is darkest; the ones behind it fade out.
        const int age = (step_ - i + kSpokes) % kSpokes;
        color.setAlphaF(static_cast<float>(0.85 - 0.65 * age / (kSpokes - 1)));
        painter.setPen(QPen(color, std::max(1.0, diameter_ / 10.0), Qt::SolidLine, Qt::RoundCap));
        painter.save();
        painter.rotate(360.0 * i / kSpokes);
        painter.drawLine(QPointF(0, -inner), QPointF(0, -outer + 1));
        painter.restore();
    }
}

void Spinner::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    startIfAllowed();
}

void Spinner::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::StyleChange && isVisible()) {
        timer_.stop();
        startIfAllowed();
    }
}

void Spinner::startIfAllowed() {
    // Without animations the spinner stands still on its current frame: still a sign of work.
    if (Motion::enabled(*this)) {
        timer_.start();
    }
}

void Spinner::hideEvent(QHideEvent* event) {
    timer_.stop();
    QWidget::hideEvent(event);
}

}  // namespace vantu
