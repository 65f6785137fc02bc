#include "ui/app_delegate.h"

#include "store/port_store.h"
#include "ui/popover_view.h"
#include "ui/popover_window.h"

#include <QApplication>
#include <QCursor>
#include <QWidget>

#include <cmath>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace vantu {

AppDelegate::AppDelegate(std::unique_ptr<PortStore> store, std::function<void()> quit, QObject* parent)
    : QObject(parent),
      store_(std::move(store)),
      popover_(std::make_unique<PopoverWindow>(
          *store_, quit ? std::move(quit) : std::function<void()>([] { QCoreApplication::quit(); }))) {
    trayMenu_ = std::make_unique<QMenu>();
    trayMenu_->setObjectName(u"trayMenu"_s);
    connect(trayMenu_->addAction(tr("Open")), &QAction::triggered, this, &AppDelegate::openPopover);
    connect(trayMenu_->addAction(tr("Refresh")), &QAction::triggered, this, [this] { store_->refresh(); });
    connect(trayMenu_->addAction(tr("Discovery Settings\u2026")), &QAction::triggered, this,
            &AppDelegate::openDiscoverySettings);
    trayMenu_->addSeparator();
    const std::function<void()> quitApp = popover_->quitAction();
    connect(trayMenu_->addAction(tr("Quit")), &QAction::triggered, this, [quitApp] { quitApp(); });
    trayWatch_.setInterval(2000);
    connect(&trayWatch_, &QTimer::timeout, this, [this] {
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            dockIntoTray();
        }
    });
}

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

    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        installStatusItem();
    } else {
        showWithoutTray();
    }
}

void AppDelegate::installStatusItem() {
    if (statusItem_) {
        return;
    }
    statusItem_ = new QSystemTrayIcon(this);
    statusItem_->setToolTip(tr("Vantu \u2014 Development ports"));
    recolourIcon();
    statusItem_->setContextMenu(trayMenu_.get());
    connect(statusItem_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) {
            Q_EMIT iconActivated();
            togglePopover();
        } else if (reason == QSystemTrayIcon::DoubleClick) {
            Q_EMIT iconActivated();
            // The first click of a double click has already opened the popover: the second
            // must not close it again. After a click that closed it, the next one reopens it.
            if (!popover_->isVisible()) {
                openPopover();
            }
        }
    });
    statusItem_->show();
    Q_EMIT dockedChanged(true);
    // An XEmbed tray icon is a widget of ours: give it the name screen readers announce.
    // (A StatusNotifierItem host reads the tooltip instead.)
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == u"QSystemTrayIconSys"_s) {
            widget->setAccessibleName(tr("Vantu, development ports"));
            widget->setAccessibleDescription(MenuBarIcon::accessibleDescription());
        }
    }
}

void AppDelegate::showWithoutTray() {
    std::fputs("vantu: no system tray found; showing the panel in a window instead.\n", stderr);
    popover_->setMode(PopoverWindow::Mode::window);
    store_->refresh();
    resizePopover();
    popover_->show();
    popover_->activateWindow();
    trayWatch_.start();
    Q_EMIT dockedChanged(false);
}

void AppDelegate::dockIntoTray() {
    trayWatch_.stop();
    popover_->hide();
    popover_->setMode(PopoverWindow::Mode::popup);
    resizePopover();
    installStatusItem();
}

bool AppDelegate::isDocked() const {
    return statusItem_ && popover_->mode() == PopoverWindow::Mode::popup;
}

void AppDelegate::togglePopover() {
    if (popover_->isVisible()) {
        popover_->dismiss();
        return;
    }
    if (!isDocked()) {
        return;
    }
    // A click elsewhere closed the popup a moment ago, and that click was on the icon.
    const std::optional<qint64> sinceClosed = popover_->sinceClosedByUser();
    if (sinceClosed && *sinceClosed < kReopenGuardMilliseconds) {
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
        popover_->showAt(iconAnchor());
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

QRect AppDelegate::iconAnchor() const {
    // An XEmbed tray reports the icon's place; a StatusNotifierItem host does not, and then the
    // pointer, which has just clicked the icon, is the best guess.
    const QRect geometry = statusItem_ ? statusItem_->geometry() : QRect();
    if (geometry.isValid() && !geometry.isEmpty()) {
        return geometry;
    }
    return {QCursor::pos(), QSize(1, 1)};
}

void AppDelegate::resizePopover() {
    popover_->setContentHeight(static_cast<int>(std::lround(store_->popoverHeight())));
}

void AppDelegate::recolourIcon() {
    if (statusItem_) {
        statusItem_->setIcon(icon_.trayMonogram());
    }
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange) {
        recolourIcon();
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace vantu
