#pragma once

#include "ui/symbol.h"

#include <QWidget>

namespace vantu {

class ElidedLabel;
class SymbolView;

// A centred symbol over one short text, shown in place of an empty list.
class StatusPanel : public QWidget {
    Q_OBJECT

public:
    explicit StatusPanel(QWidget* parent = nullptr);

    void setStatus(Symbol symbol, const QString& text);
    [[nodiscard]] Symbol symbol() const;
    [[nodiscard]] QString text() const;

private:
    SymbolView* symbol_;
    ElidedLabel* text_;
};

}  // namespace vantu
