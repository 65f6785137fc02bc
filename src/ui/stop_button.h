#pragma once

#include <QAbstractButton>

namespace vantu {

// The red "Stop" or "Force" button of a row. Its opacity is animated by the row; at 0 it
// still holds its place and can take keyboard focus.
class StopButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(qreal opacity READ opacity WRITE setOpacity)

public:
    explicit StopButton(QWidget* parent = nullptr);

    [[nodiscard]] qreal opacity() const { return opacity_; }
    void setOpacity(qreal opacity);

    [[nodiscard]] QSize sizeHint() const override;

    // Drawn as a red outline on the window instead of a red fill: Force, which takes the
    // place of Stop, must not look like the same button again.
    void setOutlined(bool outlined);
    [[nodiscard]] bool isOutlined() const { return outlined_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // Enter activates the button too, as Space does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    qreal opacity_ = 0;
    bool outlined_ = false;
};

}  // namespace vantu
