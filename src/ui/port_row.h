#pragma once

#include "core/listener.h"

#include <QWidget>

#include <functional>
#include <optional>

class QStackedLayout;
class QTimer;
class QVariantAnimation;
class QPropertyAnimation;

namespace vantu {

class ElidedLabel;
class PortBadge;
class Spinner;
class StopButton;
class SymbolView;

// One listener in the popover's list: the port badge, the name over a one-line detail, and a
// slot on the right that holds a spinner while a stop runs, the red Stop or Force button, or a
// lock for a process the user may not stop.
//
// The row keeps only its own hover and focus state; everything else is handed in again with
// setState() whenever the store changes, so a list can keep one row per Listener::ID.
class PortRow : public QWidget {
    Q_OBJECT

public:
    enum class Slot { spinner, actionButton, lock };

    PortRow(const Listener& listener, bool isStopping, bool canForce, std::function<void()> stop,
            QWidget* parent = nullptr);
    ~PortRow() override;

    void setState(const Listener& listener, bool isStopping, bool canForce);
    void setStopAction(std::function<void()> stop);
    // What the forced stop ends when it is more than the process (what is left of its group
    // after a polite stop of the whole group); nullopt for the process alone.
    void setForceTarget(std::optional<QString> target);

    [[nodiscard]] const Listener& listener() const { return listener_; }
    // The button shows under the pointer, under keyboard focus, and always once a forced kill
    // is offered.
    [[nodiscard]] bool showAction() const { return isHovered_ || actionFocused_ || canForce_; }
    [[nodiscard]] Slot slot() const;
    // The Stop or Force button, for the list's Tab order; hidden with its slot.
    [[nodiscard]] QWidget* actionWidget() const;

    // The row's stop action for accessibility: "Stop", or "Force quit" once a forced kill is
    // offered. Its other action, "Open in Browser", is what Enter and a double click do.
    [[nodiscard]] QString actionName() const;
    // The name block's tooltip: the listener's facts, how long it has run, its memory.
    [[nodiscard]] QString toolTipText() const;
    // Performs it: stops only a listener the user may stop and that is not being stopped.
    void performAction();

    // The row has just moved under a pointer that stayed still (a row above it went away or
    // came in): a click now was aimed at whatever was there before. Its button ignores clicks
    // until the pointer moves or `kSettleMilliseconds` pass.
    void disarm();
    // Sets the hover state from where the pointer really is: after a menu or a dialog, or while
    // hidden, no leave event may have come.
    void syncHover();

    static constexpr int kSettleMilliseconds = 1500;

    // Duration of the hover and focus fades; none when the style turns animations off.
    static constexpr int kFadeMilliseconds = 150;

#ifdef VANTU_TEST_HOOKS
    [[nodiscard]] bool isStopping() const {
        return isStopping_;
    }
    [[nodiscard]] bool canForce() const {
        return canForce_;
    }
    [[nodiscard]] bool isHovered() const {
        return isHovered_;
    }
    [[nodiscard]] bool actionFocused() const {
        return actionFocused_;
    }
    [[nodiscard]] bool isArmed() const {
        return armed_;
    }
    [[nodiscard]] StopButton* actionButton() const {
        return button_;
    }
    // The hover background's strength, 0 to 1, as currently drawn.
    [[nodiscard]] double hoverProgress() const {
        return hoverProgress_;
    }
#endif

Q_SIGNALS:
    // A double click, or Enter while the row holds the keyboard focus.
    void openRequested();

protected:
    void enterEvent(QEnterEvent* event) override;
    bool event(QEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setHovered(bool hovered);
    void setActionFocused(bool focused);
    void applyState();
    // The slot's width and the button's clicks follow whether the button shows.
    void fitSlot();
    // Fades the hover background and the button towards the current state, or sets them there
    // at once when asked to or when the style turns animations off.
    void animate(bool immediately);

    Listener listener_;
    bool isStopping_;
    bool canForce_;
    std::function<void()> stop_;
    std::optional<QString> forceTarget_;
    bool isHovered_ = false;
    bool armed_ = true;
    QPoint disarmedAt_;
    QTimer* settle_;
    bool actionFocused_ = false;
    double hoverProgress_ = 0;

    PortBadge* badge_;
    QWidget* nameBlock_;
    ElidedLabel* name_;
    ElidedLabel* detail_;
    QWidget* slotBox_;
    QStackedLayout* slotLayout_;
    Spinner* spinner_;
    StopButton* button_;
    SymbolView* lock_;
    QVariantAnimation* hoverAnimation_;
    QPropertyAnimation* buttonAnimation_;
};

}  // namespace vantu
