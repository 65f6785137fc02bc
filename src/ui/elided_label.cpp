#include "ui/elided_label.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>

namespace vantu {

ElidedLabel::ElidedLabel(int maxLines, const QFont& font, Appearance::Level level, QWidget* parent)
    : QWidget(parent), maxLines_(std::max(1, maxLines)), level_(level) {
    setFont(font);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::setText(const QString& text) {
    if (text == text_) {
        return;
    }
    text_ = text;
    updateGeometry();
    update();
}

void ElidedLabel::setAlignment(Qt::Alignment alignment) {
    alignment_ = alignment;
    update();
}

void ElidedLabel::setElideMode(Qt::TextElideMode mode) {
    elideMode_ = mode;
    update();
}

ElidedLabel::Layout ElidedLabel::layoutFor(int width) const {
    Layout result;
    if (text_.isEmpty() || width <= 0) {
        return result;
    }
    const QFontMetrics metrics(font());
    // Line feeds in the text are kept as spaces: the label is a flowing paragraph.
    QString flowing = text_;
    flowing.replace(QLatin1Char('\n'), QLatin1Char(' '));
    QTextLayout layout(flowing, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (int index = 0; index < maxLines_; ++index) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            break;
        }
        line.setLineWidth(width);
        const int end = line.textStart() + line.textLength();
        if (index == maxLines_ - 1 && end < flowing.size()) {
            const QString rest = flowing.mid(line.textStart());
            result.lines << metrics.elidedText(rest, elideMode_, width);
            result.elided = true;
            break;
        }
        result.lines << flowing.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return result;
}

QStringList ElidedLabel::visibleLines() const {
    return layoutFor(width()).lines;
}

#ifdef VANTU_TEST_HOOKS
bool ElidedLabel::isElided() const {
    return layoutFor(width()).elided;
}
#endif

QSize ElidedLabel::sizeHint() const {
    const QFontMetrics metrics(font());
    const int lines = std::max(1, static_cast<int>(visibleLines().size()));
    return {metrics.horizontalAdvance(text_), metrics.lineSpacing() * lines};
}

QSize ElidedLabel::minimumSizeHint() const {
    return {0, QFontMetrics(font()).height()};
}

void ElidedLabel::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setPen(Appearance::label(palette(), level_));
    painter.setFont(font());
    const QFontMetrics metrics(font());
    const Layout layout = layoutFor(width());
    const int blockHeight = metrics.lineSpacing() * static_cast<int>(layout.lines.size());
    int y = (height() - blockHeight) / 2 + metrics.ascent();
    for (const QString& line : layout.lines) {
        const QRect lineBox(0, y - metrics.ascent(), width(), metrics.height());
        painter.drawText(lineBox, static_cast<int>(alignment_ | Qt::AlignVCenter), line);
        y += metrics.lineSpacing();
    }
}

}  // namespace vantu
