#include "ui/popover_frame.h"

#include "ui/appearance.h"

#include <QEvent>
#include <QPainter>

namespace vantu {

PopoverFrame::PopoverFrame(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(parent->rect());
    parent->installEventFilter(this);
}

bool PopoverFrame::eventFilter(QObject* watched, QEvent* event) {
    // Always the parent's whole size, and above whatever it shows.
    if (watched == parentWidget() && (event->type() == QEvent::Resize || event->type() == QEvent::ChildAdded)) {
        setGeometry(parentWidget()->rect());
        raise();
    }
    return QWidget::eventFilter(watched, event);
}

void PopoverFrame::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    // Tertiary marks keep 3:1 against the window, enough for a line to be seen.
    painter.setPen(Appearance::composite(Appearance::tertiary(palette()), palette().color(QPalette::Window)));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace vantu
