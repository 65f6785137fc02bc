#pragma once

#include <QWidget>

namespace vantu {

// A one-pixel line around the popover, in the palette's frame colour, drawn over its edges:
// without a frame or a shadow a light popover melts into a light desktop. It takes no space,
// no clicks and no focus.
class PopoverFrame : public QWidget {
    Q_OBJECT

public:
    explicit PopoverFrame(QWidget* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace vantu
