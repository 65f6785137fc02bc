#include "probe_style.h"

#include <QPainter>
#include <QStyleOption>

namespace vantu::test {

ProbeStyle::ProbeStyle(std::optional<int> animationDuration) : animationDuration_(animationDuration) {}

int ProbeStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                          QStyleHintReturn* returnData) const {
    if (hint == SH_Widget_Animation_Duration && animationDuration_) {
        return *animationDuration_;
    }
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

void ProbeStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                               const QWidget* widget) const {
    if (element != PE_FrameFocusRect) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    ++focusFrames_;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(kFocusMarker);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
    painter->restore();
}

}  // namespace vantu::test
