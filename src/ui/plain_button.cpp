#include "ui/plain_button.h"

#include "ui/appearance.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>

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
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor color = Appearance::secondary(palette());
    if (isDown()) {
        color = Appearance::primary(palette());
    }
    if (hasFocus()) {
        QColor ring = Appearance::accent(palette());
        ring.setAlphaF(0.7F);
        painter.setPen(QPen(ring, 1.5));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
    }
    if (symbol_) {
        const QRectF box(0, 0, glyphSize_, glyphSize_);
        // A medium weight, as the header's symbols are set.
        Symbols::paint(painter, *symbol_, box.translated(QRectF(rect()).center() - box.center()), color, 1.2);
        return;
    }
    painter.setPen(color);
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter, text());
}

void PlainButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

}  // namespace vantu
