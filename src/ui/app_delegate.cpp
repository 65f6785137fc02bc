#include "ui/app_delegate.h"

#include "platform/log.h"
#include "store/port_store.h"
#include "ui/popover_view.h"
#include "ui/popover_window.h"
#include "ui/tray_menu.h"

#include <QApplication>
#include <QWidget>

#include <cmath>

using namespace Qt::StringLiterals;

namespace vantu {

AppDelegate::AppDelegate(std::unique_ptr<PortStore> store, std::function<void()> quit, QDBusConnection bus,
                         QObject* parent)
    : QObject(parent),
      store_(std::move(store)),
      popover_(std::make_unique<PopoverWindow>(
          *store_, quit ? std::move(quit) : std::function<void()>([] { QCoreApplication::quit(); }))) {
    trayMenu_ = std::make_unique<TrayMenu>(*store_);
    connect(trayMenu_.get(), &TrayMenu::openRequested, this, &AppDelegate::openPopover);
    connect(trayMenu_.get(), &TrayMenu::discoverySettingsRequested, this, &AppDelegate::openDiscoverySettings);
    const std::function<void()> quitApp = popover_->quitAction();
    connect(trayMenu_.get(), &TrayMenu::quitRequested, this, [quitApp] { quitApp(); });
    tray_ = std::make_unique<TrayIcon>(trayMenu_->menu(), std::move(bus));
    connect(tray_.get(), &TrayIcon::kindChanged, this, &AppDelegate::followTray);
    // The menu lists what a scan finds: one starts as it opens, and the menu follows. It opens at
    // the icon, where the popover gives way to it: on GNOME a click on the icon opens the menu,
    // and the popover, which keeps the focus meanwhile, would stay open under it.
    connect(tray_.get(), &TrayIcon::menuAboutToShow, this, [this] {
        if (isDocked() && popover_->isVisible()) {
            popover_->dismiss();
        }
        store_->refresh();
    });
    connect(tray_.get(), &TrayIcon::activated, this, &AppDelegate::onIconActivated);
    // The tray tells how many servers the last scan found, once the store has settled.
    connect(store_.get(), &PortStore::willChange, this, [this] {
        if (!describing_) {
            describing_ = true;
            QMetaObject::invokeMethod(this, &AppDelegate::describeServers, Qt::QueuedConnection);
        }
    });
}

#ifdef VANTU_TEST_HOOKS
QMenu* AppDelegate::trayMenu() const {
    return &trayMenu_->menu();
}
#endif

AppDelegate::~AppDelegate() {
    store_->setOnLayoutChange({});
    if (qApp != nullptr) {
        qApp->removeEventFilter(this);
    }
}

void AppDelegate::applicationDidFinishLaunching() {
    resizePopover();
    const QPointer<AppDelegate> self(this);
    store_->setOnLayoutChange([self] {
        if (self) {
            self->resizePopover();
        }
    });
    qApp->installEventFilter(this);
    recolourIcon();
    describeServers();
    tray_->start();
}

void AppDelegate::followTray(TrayIcon::Kind kind) {
    if (kind == TrayIcon::Kind::none) {
        showWithoutTray();
    } else {
        dockIntoTray();
    }
}

void AppDelegate::onIconActivated(QSystemTrayIcon::ActivationReason reason) {
    Q_EMIT iconActivated();
    if (reason == QSystemTrayIcon::Trigger) {
        togglePopover();
    } else if (!popover_->isVisible()) {
        // The first click of a double click has already opened the popover: the second must
        // not close it again. After a click that closed it, the next one reopens it. A middle
        // or right click only ever opens it.
        openPopover();
    }
}

void AppDelegate::showWithoutTray() {
    qCWarning(lcTray, "no system tray found; showing the panel in a window instead.");
    popover_->hide();
    popover_->setMode(PopoverWindow::Mode::window);
    store_->refresh();
    resizePopover();
    popover_->show();
    popover_->activateWindow();
    Q_EMIT dockedChanged(false);
}

void AppDelegate::dockIntoTray() {
    if (popover_->mode() == PopoverWindow::Mode::window) {
        popover_->hide();
        popover_->setMode(PopoverWindow::Mode::popup);
        resizePopover();
    } else {
        // A popover still shown hangs at an icon of the tray that has just been replaced.
        popover_->dismiss();
    }
    Q_EMIT dockedChanged(true);
}

bool AppDelegate::isDocked() const {
    return tray_->kind() != TrayIcon::Kind::none && popover_->mode() == PopoverWindow::Mode::popup;
}

void AppDelegate::togglePopover() {
    if (popover_->isVisible()) {
        popover_->dismiss();
        return;
    }
    if (!isDocked()) {
        return;
    }
    // A click elsewhere closed the popup a moment ago, and that click was on the icon. (A
    // press that closed a real popup never reaches an XEmbed icon, ours: a click on it then is
    // a new one. The icon of a StatusNotifierItem tray is the tray's, which sees the press too.)
    const std::optional<qint64> sinceClosed = popover_->sinceClosedByUser();
    const std::optional<qint64> sincePressed =
        tray_->kind() == TrayIcon::Kind::statusNotifier ? popover_->sinceClosedByPress() : std::nullopt;
    if ((sinceClosed && *sinceClosed < kReopenGuardMilliseconds) ||
        (sincePressed && *sincePressed < kReopenGuardMilliseconds)) {
        return;
    }
    openPopover();
}

void AppDelegate::openPopover() {
    if (popover_->isVisible()) {
        popover_->raise();
        popover_->activateWindow();
        return;
    }
    store_->refresh();
    resizePopover();
    if (isDocked()) {
        popover_->showAt(tray_->takeAnchor());
    } else {
        popover_->show();
        popover_->raise();
        popover_->activateWindow();
    }
}

void AppDelegate::openDiscoverySettings() {
    if (!store_->showingDiscoverySettings()) {
        store_->toggleDiscoverySettings();
    }
    openPopover();
}

void AppDelegate::resizePopover() {
    popover_->setContentHeight(static_cast<int>(std::lround(store_->popoverHeight())));
}

void AppDelegate::recolourIcon() {
    tray_->setIcon(icon_.trayMonogram());
}

void AppDelegate::describeServers() {
    describing_ = false;
    tray_->setToolTip(tr("Vantu \u2014 Development ports"), serversSentence());
}

QString AppDelegate::serversSentence() const {
    if (!store_->hasSnapshot()) {
        return tr("Click to look for development servers");
    }
    const auto count = static_cast<int>(store_->listeners().size());
    return count == 0 ? tr("No development servers running") : tr("%n development server(s) running", "", count);
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange) {
        recolourIcon();
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace vantu
