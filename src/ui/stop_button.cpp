#include "ui/stop_button.h"

#include "ui/appearance.h"
#include "ui/metrics.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>

namespace vantu {

StopButton::StopButton(QWidget* parent) : QAbstractButton(parent) {
    setFixedSize(Metrics::stopButtonSize);
    setFont(Appearance::systemFont(10, QFont::Bold));
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

void StopButton::setOpacity(qreal opacity) {
    opacity_ = opacity;
    update();
}

void StopButton::setOutlined(bool outlined) {
    if (outlined != outlined_) {
        outlined_ = outlined;
        update();
    }
}

QSize StopButton::sizeHint() const {
    return Metrics::stopButtonSize;
}

void StopButton::paintEvent(QPaintEvent* /*event*/) {
    // The option's palette is already in the group of the button's state: a disabled button
    // reads the disabled colours.
    QStyleOptionButton option;
    option.initFrom(this);
    option.text = text();
    option.state |= isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
    const bool enabled = option.state.testFlag(QStyle::State_Enabled);

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(opacity_);
    // The red is the button's identity and stays its own; only its label comes from the palette.
    QColor red = Appearance::stopRed(option.palette);
    QColor label = Appearance::stopLabel(option.palette);
    if (option.state.testFlag(QStyle::State_Sunken)) {
        red = red.darker(115);
    }
    if (!enabled) {
        // Faded into the window under the disabled button text, as the desktop dims a control.
        red.setAlphaF(0.35F);
        label = option.palette.color(QPalette::ButtonText);
    }
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.backgroundColor = palette().color(QPalette::Window);
    // Focus is framed once the keyboard moves it, as the common styles do; a click shows where
    // it went already. A frame laid over the red would hardly show, so the red steps in and
    // leaves the frame the window to stand on.
    const bool framed =
        focus.state.testFlag(QStyle::State_HasFocus) && focus.state.testFlag(QStyle::State_KeyboardFocusChange);
    const double inset = (framed ? 2 : 0) + (outlined_ ? 0.75 : 0);
    const QRectF fill = QRectF(option.rect).adjusted(inset, inset, -inset, -inset);
    QPainterPath background;
    background.addRoundedRect(fill, Metrics::controlCornerRadius, Metrics::controlCornerRadius);
    if (outlined_) {
        // The label and its frame in the red, deepened or lightened to read on the window.
        label = enabled ? Appearance::readable(red, palette().color(QPalette::Window)) : label;
        if (option.state.testFlag(QStyle::State_Sunken)) {
            QColor pressed = label;
            pressed.setAlphaF(0.15F);
            painter.fillPath(background, pressed);
        }
        painter.setPen(QPen(label, 1.5));
        painter.drawPath(background);
    } else {
        painter.fillPath(background, red);
    }
    if (framed) {
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }

    painter.setPen(label);
    painter.setFont(font());
    style()->drawItemText(&painter, option.rect, Qt::AlignCenter, option.palette, enabled, option.text);
}

void StopButton::keyPressEvent(QKeyEvent* event) {
    // The list moves between its rows with these; a button would walk the Tab chain instead.
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down || event->key() == Qt::Key_Home ||
        event->key() == Qt::Key_End) {
        event->ignore();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

}  // namespace vantu
