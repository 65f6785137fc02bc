#pragma once

#include "ui/symbol.h"

#include <QAbstractButton>

#include <optional>

namespace vantu {

// A borderless button drawn in the secondary label colour: a symbol centred in a fixed frame,
// or a short text.
class PlainButton : public QAbstractButton {
    Q_OBJECT

public:
    // A symbol button: `glyphSize` pixels in a `frame` × `frame` square.
    PlainButton(Symbol symbol, int glyphSize, int frame, QWidget* parent = nullptr);
    // A text button in the given font.
    PlainButton(const QString& text, const QFont& font, QWidget* parent = nullptr);

#ifdef VANTU_TEST_HOOKS
    [[nodiscard]] std::optional<Symbol> symbol() const {
        return symbol_;
    }
#endif

    [[nodiscard]] QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    // Enter activates the button too, as Space does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::optional<Symbol> symbol_;
    int glyphSize_ = 0;
};

}  // namespace vantu
