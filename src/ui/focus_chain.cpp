#include "ui/focus_chain.h"

#include <QWidget>

namespace vantu::FocusChain {

void apply(const QList<QWidget*>& order) {
    for (qsizetype index = 1; index < order.size(); ++index) {
        QWidget::setTabOrder(order[index - 1], order[index]);
    }
}

QList<QWidget*> tabStopsIn(const QWidget* container) {
    QList<QWidget*> stops;
    QWidget* const start = container->window();
    QWidget* widget = start->nextInFocusChain();
    while (widget != start) {
        if (container->isAncestorOf(widget) && (widget->focusPolicy() & Qt::TabFocus) != 0) {
            stops.append(widget);
        }
        widget = widget->nextInFocusChain();
    }
    return stops;
}

}  // namespace vantu::FocusChain
