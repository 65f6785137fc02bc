#include "ui/plain_button.h"

#include "ui/appearance.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>

namespace vantu {

PlainButton::PlainButton(Symbol symbol, int glyphSize, int frame, QWidget* parent)
    : QAbstractButton(parent), symbol_(symbol), glyphSize_(glyphSize) {
    setFixedSize(frame, frame);
    setFocusPolicy(Qt::TabFocus);
}

PlainButton::PlainButton(const QString& text, const QFont& font, QWidget* parent) : QAbstractButton(parent) {
    setText(text);
    setFont(font);
    setFocusPolicy(Qt::TabFocus);
}

QSize PlainButton::sizeHint() const {
    if (symbol_) {
        return size();
    }
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + 8, metrics.height() + 6};
}

void PlainButton::paintEvent(QPaintEvent* /*event*/) {
    // The option's palette is already in the group of the button's state: a disabled button
    // reads the disabled colours.
    QStyleOptionButton option;
    option.initFrom(this);
    option.features = QStyleOptionButton::Flat;
    option.text = text();
    if (isDown()) {
        option.state |= QStyle::State_Sunken;
    }
    const bool enabled = option.state.testFlag(QStyle::State_Enabled);

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor color = option.state.testFlag(QStyle::State_Sunken) ? Appearance::primary(option.palette)
                                                                     : Appearance::secondary(option.palette);
    if (option.state.testFlag(QStyle::State_HasFocus)) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.backgroundColor = option.palette.color(QPalette::Window);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
    if (symbol_) {
        const QRectF box(0, 0, glyphSize_, glyphSize_);
        // A medium weight, as the header's symbols are set.
        Symbols::paint(painter, *symbol_, box.translated(QRectF(option.rect).center() - box.center()), color, 1.2);
        return;
    }
    painter.setPen(color);
    painter.setFont(font());
    style()->drawItemText(&painter, option.rect, Qt::AlignCenter, option.palette, enabled, option.text);
}

void PlainButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

}  // namespace vantu
