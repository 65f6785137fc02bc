#include "ui/status_panel.h"

#include "ui/appearance.h"
#include "ui/elided_label.h"
#include "ui/metrics.h"
#include "ui/symbol_view.h"

#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace vantu {

StatusPanel::StatusPanel(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(Metrics::barMargins);
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
    actionButton_ = new QPushButton(this);
    actionButton_->setObjectName(u"statusAction"_s);
    actionButton_->setFont(Appearance::systemFont(11));
    actionButton_->hide();
    connect(actionButton_, &QPushButton::clicked, this, [this] {
        if (action_) {
            action_();
        }
    });
    layout->addWidget(actionButton_, 0, Qt::AlignHCenter);
    layout->addStretch(1);
}

void StatusPanel::setAction(const QString& text, std::function<void()> action) {
    action_ = std::move(action);
    actionButton_->setText(text);
    actionButton_->setVisible(!text.isEmpty());
}

void StatusPanel::setStatus(Symbol symbol, const QString& text) {
    symbol_->setSymbol(symbol);
    text_->setText(text);
    text_->setAccessibleName(text);
}

#ifdef VANTU_TEST_HOOKS
QString StatusPanel::actionText() const {
    return actionButton_->isVisible() || !actionButton_->isHidden() ? actionButton_->text() : QString();
}

Symbol StatusPanel::symbol() const {
    return symbol_->symbol();
}

QString StatusPanel::text() const {
    return text_->text();
}
#endif

}  // namespace vantu
