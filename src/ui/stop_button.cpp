#include "ui/stop_button.h"

#include "ui/appearance.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

namespace vantu {

StopButton::StopButton(QWidget* parent) : QAbstractButton(parent) {
    setFixedSize(51, 23);
    setFont(Appearance::systemFont(10, QFont::Bold));
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

void StopButton::setOpacity(qreal opacity) {
    opacity_ = opacity;
    update();
}

QSize StopButton::sizeHint() const {
    return {51, 23};
}

void StopButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(opacity_);
    QColor red = Appearance::stopRed(palette());
    if (isDown()) {
        red = red.darker(115);
    }
    QPainterPath background;
    background.addRoundedRect(QRectF(rect()), 5, 5);
    painter.fillPath(background, red);
    if (hasFocus()) {
        const QRectF frame = QRectF(rect()).adjusted(1, 1, -1, -1);
        QColor ring = Appearance::accent(palette());
        ring.setAlphaF(0.8F);
        painter.setPen(QPen(ring, 2));
        painter.drawRoundedRect(frame, 5, 5);
    }
    painter.setPen(Qt::white);
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter, text());
}

void StopButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

}  // namespace vantu
