#pragma once

#include "ui/symbol.h"

#include <QWidget>

#include <functional>

class QPushButton;

namespace vantu {

class ElidedLabel;
class SymbolView;

// A centred symbol over one short text, shown in place of an empty list.
class StatusPanel : public QWidget {
    Q_OBJECT

public:
    explicit StatusPanel(QWidget* parent = nullptr);

    void setStatus(Symbol symbol, const QString& text);
    // A button under the text that offers the way out of this state; an empty text hides it.
    void setAction(const QString& text, std::function<void()> action);
#ifdef VANTU_TEST_HOOKS
    [[nodiscard]] QString actionText() const;
    [[nodiscard]] Symbol symbol() const;
    [[nodiscard]] QString text() const;
#endif

private:
    std::function<void()> action_;
    QPushButton* actionButton_;
    SymbolView* symbol_;
    ElidedLabel* text_;
};

}  // namespace vantu
