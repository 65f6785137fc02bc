#pragma once

#include "ui/appearance.h"
#include "ui/symbol.h"

#include <QWidget>

namespace vantu {

// Shows one symbol, centred, in a label colour that follows the palette.
class SymbolView : public QWidget {
    Q_OBJECT

public:
    // `glyphSize` is the glyph's side in pixels; `weight` scales its stroke (1 is regular).
    SymbolView(Symbol symbol, int glyphSize, double weight, Appearance::Level level, QWidget* parent = nullptr);

#ifdef VANTU_TEST_HOOKS
    [[nodiscard]] Symbol symbol() const {
        return symbol_;
    }
#endif
    void setSymbol(Symbol symbol);

    [[nodiscard]] QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Symbol symbol_;
    int glyphSize_;
    double weight_;
    Appearance::Level level_;
};

}  // namespace vantu
