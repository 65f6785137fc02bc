#include "ui/popover_window.h"

#include <QApplication>
#include <QMouseEvent>

#include "platform/tray/panel_window_hints.h"
#include "ui/metrics.h"
#include "ui/popover_frame.h"
#include "ui/popover_placement.h"
#include "ui/popover_view.h"
#include "ui/window_system_choice.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

bool underWayland() {
    return WindowSystemChoice::underWayland(QGuiApplication::platformName().toStdString(),
                                            qgetenv("WAYLAND_DISPLAY").toStdString());
}

Qt::WindowFlags popupFlags() {
    // A Wayland compositor does not let a parentless popup be placed, nor grab for it: a
    // frameless tool window that hides when it loses activation stands in. Through Xwayland
    // too: a popup's grab never sees a click on a Wayland window, while the loss of activation
    // to one does arrive. (An unmanaged X window would open where it is put, but sway 1.7 never
    // lets it keep the focus, so nothing would close it.)
    if (underWayland()) {
        return Qt::Tool | Qt::FramelessWindowHint;
    }
    return Qt::Popup | Qt::FramelessWindowHint;
}

// The tray told nothing of where its icon is; the pointer has just clicked in the tray's menu.
QRect guessedAnchor() {
    if (!underWayland()) {
        return {QCursor::pos(), QSize(1, 1)};
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? PopoverPlacement::panelCorner(screen->geometry(), screen->availableGeometry()) : QRect();
}

}  // namespace

PopoverWindow::PopoverWindow(PortStore& store, std::function<void()> quit, QWidget* parent)
    : QWidget(parent, popupFlags()), quit_(quit) {
    setObjectName(u"popover"_s);
    setWindowTitle(tr("Vantu"));
    // A click on the tray icon that closes the popup must not reach the icon again and reopen it.
    setAttribute(Qt::WA_NoMouseReplay);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    view_ = new PopoverView(store, std::move(quit), this);
    layout->addWidget(view_);
    setFocusProxy(view_);
    new PopoverFrame(this);
    // A popup's title is not read out: the name is given as well.
    setAccessibleName(windowTitle());
}

void PopoverWindow::setMode(Mode mode) {
    if (mode == mode_) {
        return;
    }
    mode_ = mode;
    anchor_.reset();
    setWindowFlags(mode == Mode::popup ? popupFlags() : Qt::WindowFlags(Qt::Window));
}

void PopoverWindow::setContentHeight(int height) {
    setFixedSize(Metrics::popoverWidth, height);
    if (isVisible() && anchor_) {
        place();
    }
}

void PopoverWindow::showAt(const std::optional<QRect>& anchor) {
    anchor_ = anchor ? *anchor : guessedAnchor();
    place();
    // The stand-in for a popup is a window the desktop manages: not one to switch to.
    if (windowType() != Qt::Popup) {
        winId();
        if (QWindow* handle = windowHandle()) {
            platform::skipTaskbarAndPager(*handle);
        }
    }
    show();
    raise();
    activateWindow();
    view_->setFocus(Qt::PopupFocusReason);
}

void PopoverWindow::place() {
    if (!anchor_ || placementIgnored()) {
        return;
    }
    QScreen* screen = QGuiApplication::screenAt(anchor_->center());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen != nullptr) {
        // The window's own place, not its frame's: it has none, but a window manager may report
        // margins for it (Mutter through Xwayland), which move() would add on.
        setGeometry(QRect(PopoverPlacement::topLeft(*anchor_, size(), screen->availableGeometry()), size()));
    }
}

bool PopoverWindow::placementIgnored() {
    return QGuiApplication::platformName().startsWith(u"wayland"_s);
}

void PopoverWindow::dismiss() {
    hide();
}

std::optional<qint64> PopoverWindow::sinceClosedByUser() const {
    if (!closedByUser_.isValid()) {
        return std::nullopt;
    }
    return closedByUser_.elapsed();
}

std::optional<qint64> PopoverWindow::sinceClosedByPress() const {
    return closedByPress_.isValid() ? std::optional<qint64>(closedByPress_.elapsed()) : std::nullopt;
}

void PopoverWindow::keyPressEvent(QKeyEvent* event) {
    if (mode_ == Mode::popup && event->key() == Qt::Key_Escape) {
        event->accept();
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PopoverWindow::mousePressEvent(QMouseEvent* event) {
    // The second click of the double click that opened the popup lands on the icon, outside
    // the popup, and would close it again at once: a double click is one click.
    const QPoint at = event->globalPosition().toPoint();
    const std::optional<qint64> shownFor = sinceShown();
    if (mode_ == Mode::popup && !rect().contains(event->position().toPoint()) && anchor_ && anchor_->contains(at) &&
        shownFor && *shownFor < QApplication::doubleClickInterval()) {
        event->accept();
        return;
    }
    // A popup closes on a press outside it. When that press was on the icon of a tray in
    // another process (xfce4-panel's), the tray's own Activate still follows and must not
    // reopen it.
    if (mode_ == Mode::popup && windowType() == Qt::Popup && !rect().contains(event->position().toPoint())) {
        closedByPress_.start();
    }
    QWidget::mousePressEvent(event);
}

void PopoverWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    shownAt_.start();
    Q_EMIT shown();
}

std::optional<qint64> PopoverWindow::sinceShown() const {
    if (!shownAt_.isValid()) {
        return std::nullopt;
    }
    return shownAt_.elapsed();
}

void PopoverWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    Q_EMIT hidden();
}

void PopoverWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    // Without a tray this window is the whole app: closing it must not leave it running unseen.
    if (mode_ == Mode::window && event->isAccepted() && quit_) {
        quit_();
    }
}

bool PopoverWindow::event(QEvent* event) {
    // The stand-in for a popup closes when it loses activation. When that happened because
    // the user clicked the tray icon, the icon's own click arrives a moment later and must
    // not reopen it. (A real popup grabs the pointer, so that click never reaches the icon.)
    // The window's type, not a flag test: Qt::Tool includes the bits of Qt::Popup.
    if (event->type() == QEvent::WindowDeactivate && mode_ == Mode::popup && windowType() != Qt::Popup && isVisible()) {
        closedByUser_.start();
        hide();
    }
    return QWidget::event(event);
}

}  // namespace vantu
