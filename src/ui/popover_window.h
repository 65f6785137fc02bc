#pragma once

#include <QElapsedTimer>
#include <QRect>
#include <QWidget>

#include <functional>
#include <optional>

namespace vantu {

class PopoverView;
class PortStore;

// The window that holds the popover view. As a popup it is frameless, opens at the tray icon
// and closes on a click elsewhere or on Escape. Without a system tray it is an ordinary small
// window instead, so the app never runs invisibly.
class PopoverWindow : public QWidget {
    Q_OBJECT

public:
    enum class Mode { popup, window };

    PopoverWindow(PortStore& store, std::function<void()> quit, QWidget* parent = nullptr);

    // What Quit does, for the other places that offer it.
    [[nodiscard]] const std::function<void()>& quitAction() const { return quit_; }
    [[nodiscard]] Mode mode() const { return mode_; }
    // Switches the kind of window; call while hidden.
    void setMode(Mode mode);

    // Width 290 and the given height; a popup shown at its icon keeps to its anchored edge.
    void setContentHeight(int height);
    // Shows the popup next to the icon at `anchor` (screen coordinates); without one, at the
    // pointer, or where a Wayland compositor hides the pointer, at the end of the panel.
    void showAt(const std::optional<QRect>& anchor);
    // Hides it on the app's own initiative (a click on the icon).
    void dismiss();
    // Milliseconds since the popover last closed by losing activation (where it cannot be a
    // real popup); nullopt if it never did.
    [[nodiscard]] std::optional<qint64> sinceClosedByUser() const;
    // Milliseconds since the popup last closed on a press outside it; nullopt if it never did.
    [[nodiscard]] std::optional<qint64> sinceClosedByPress() const;
    // Milliseconds since it was last shown; nullopt if it never was.
    [[nodiscard]] std::optional<qint64> sinceShown() const;

#ifdef VANTU_TEST_HOOKS
    [[nodiscard]] PopoverView* view() const {
        return view_;
    }
#endif

Q_SIGNALS:
    void shown();
    void hidden();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void place();
    [[nodiscard]] static bool placementIgnored();

    PopoverView* view_;
    std::function<void()> quit_;
    Mode mode_ = Mode::popup;
    std::optional<QRect> anchor_;
    QElapsedTimer closedByUser_;
    QElapsedTimer closedByPress_;
    QElapsedTimer shownAt_;
};

}  // namespace vantu
