#pragma once

#include "ui/menu_bar_icon.h"

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

#include <functional>
#include <memory>

namespace vantu {

class PopoverWindow;
class PortStore;

// Owns the tray item, the popover and the application state, opens and closes the popover
// from the icon, and keeps the popover's size in step with the store.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    // `quit` ends the app (by default the event loop's quit).
    explicit AppDelegate(std::unique_ptr<PortStore> store, std::function<void()> quit = {}, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Installs the tray item (or, without a tray, shows the panel as a window), builds the
    // popover and hooks its size to the store. Starts no scan.
    void applicationDidFinishLaunching();
    // The icon's click: closes a shown popover, otherwise refreshes and opens it.
    void togglePopover();
    // Shows the panel, in the tray's popover or in its window, refreshing it; does nothing
    // more when it is already shown. A second launch of the app ends up here.
    void openPopover();
    // Opens the panel on the discovery settings.
    void openDiscoverySettings();
    // The tray icon's right-click menu: Open, Refresh, Discovery Settings…, Quit.
    [[nodiscard]] QMenu* trayMenu() const { return trayMenu_.get(); }

    [[nodiscard]] PortStore& store() const { return *store_; }
    [[nodiscard]] PopoverWindow& popover() const { return *popover_; }
    [[nodiscard]] QSystemTrayIcon* statusItem() const { return statusItem_; }
    // Whether the panel lives in the tray (true) or in a window of its own.
    [[nodiscard]] bool isDocked() const;

    // How long after the popover closed by a click elsewhere a click on the icon is taken to
    // be that same click, arriving late from a tray in another process.
    static constexpr qint64 kReopenGuardMilliseconds = 300;

Q_SIGNALS:
    // A click on the tray icon arrived.
    void iconActivated();
    // The panel moved into the tray (true) or, for want of one, into a window (false).
    void dockedChanged(bool docked);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void installStatusItem();
    void showWithoutTray();
    void dockIntoTray();
    void resizePopover();
    void recolourIcon();
    [[nodiscard]] QRect iconAnchor() const;

    std::unique_ptr<PortStore> store_;
    std::unique_ptr<PopoverWindow> popover_;
    std::unique_ptr<QMenu> trayMenu_;
    MenuBarIcon icon_;
    QPointer<QSystemTrayIcon> statusItem_;
    // Polls for a tray only while the panel is shown as a window because none was found.
    QTimer trayWatch_;
};

}  // namespace vantu
