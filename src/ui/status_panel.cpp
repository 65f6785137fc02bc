#include "ui/status_panel.h"

#include "ui/appearance.h"
#include "ui/elided_label.h"
#include "ui/symbol_view.h"

#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace vantu {

StatusPanel::StatusPanel(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 0, 12, 0);
    layout->setSpacing(7);
    layout->addStretch(1);
    // The symbol in a light weight, a size to match a 20-pixel font.
    symbol_ = new SymbolView(Symbol::checkmarkCircle, 22, 0.8, Appearance::Level::secondary, this);
    symbol_->setObjectName(u"statusSymbol"_s);
    symbol_->setFixedSize(24, 24);
    layout->addWidget(symbol_, 0, Qt::AlignHCenter);
    text_ = new ElidedLabel(1, Appearance::systemFont(12), Appearance::Level::secondary, this);
    text_->setObjectName(u"statusText"_s);
    text_->setAlignment(Qt::AlignHCenter);
    layout->addWidget(text_);
    layout->addStretch(1);
}

void StatusPanel::setStatus(Symbol symbol, const QString& text) {
    symbol_->setSymbol(symbol);
    text_->setText(text);
    text_->setAccessibleName(text);
}

Symbol StatusPanel::symbol() const {
    return symbol_->symbol();
}

QString StatusPanel::text() const {
    return text_->text();
}

}  // namespace vantu
