#pragma once

#include <QTimer>
#include <QWidget>

namespace vantu {

// An indeterminate progress spinner. It animates only while shown, so a hidden spinner costs
// no timer wake-ups, and only when the style allows animations.
class Spinner : public QWidget {
    Q_OBJECT

public:
    // `diameter` in pixels: 16 is the small control size, 12 the mini one.
    explicit Spinner(int diameter, QWidget* parent = nullptr);

    [[nodiscard]] QSize sizeHint() const override;
#ifdef VANTU_TEST_HOOKS
    [[nodiscard]] bool isAnimating() const {
        return timer_.isActive();
    }
#endif

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void startIfAllowed();

    int diameter_;
    int step_ = 0;
    QTimer timer_;
};

}  // namespace vantu
