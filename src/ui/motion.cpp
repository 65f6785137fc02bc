#include "ui/motion.h"

#include <QStyle>
#include <QWidget>

namespace vantu::Motion {

bool enabled(const QWidget& widget) {
    return widget.style()->styleHint(QStyle::SH_Widget_Animation_Duration, nullptr, &widget) > 0;
}

}  // namespace vantu::Motion
