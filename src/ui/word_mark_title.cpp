#include "ui/word_mark_title.h"

#include "ui/appearance.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>

#include <cmath>

namespace vantu {

WordMarkTitle::WordMarkTitle(const QString& text, QWidget* parent) : QWidget(parent), text_(text) {
    const QFont font = Appearance::wordMarkFont(17);
    path_.addText(0, QFontMetricsF(font).ascent(), font, text_);
    setAccessibleName(text_);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize WordMarkTitle::sizeHint() const {
    const QRectF bounds = path_.boundingRect();
    return {static_cast<int>(std::ceil(bounds.right())) + 1, static_cast<int>(std::ceil(bounds.bottom())) + 1};
}

void WordMarkTitle::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = path_.boundingRect();
    painter.translate(0, (height() - bounds.height()) / 2 - bounds.top());
    QLinearGradient gradient(bounds.topLeft(), bounds.bottomRight());
    gradient.setColorAt(0, Appearance::primary(palette()));
    gradient.setColorAt(1, Appearance::secondary(palette()));
    painter.fillPath(path_, gradient);
}

}  // namespace vantu
