#include "ui/symbol_view.h"

#include <QPainter>

namespace vantu {

SymbolView::SymbolView(Symbol symbol, int glyphSize, double weight, Appearance::Level level, QWidget* parent)
    : QWidget(parent), symbol_(symbol), glyphSize_(glyphSize), weight_(weight), level_(level) {}

void SymbolView::setSymbol(Symbol symbol) {
    if (symbol == symbol_) {
        return;
    }
    symbol_ = symbol;
    update();
}

QSize SymbolView::sizeHint() const {
    return {glyphSize_, glyphSize_};
}

void SymbolView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QRectF box(QPointF(0, 0), QSizeF(glyphSize_, glyphSize_));
    Symbols::paint(painter, symbol_, box.translated(QRectF(rect()).center() - box.center()),
                   Appearance::label(palette(), level_), weight_);
}

}  // namespace vantu
