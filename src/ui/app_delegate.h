#pragma once

#include "ui/menu_bar_icon.h"
#include "ui/tray_icon.h"

#include <QDBusConnection>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>

namespace vantu {

class PopoverWindow;
class PortStore;
class TrayMenu;

// Owns the tray item, the popover and the application state, opens and closes the popover
// from the icon, and keeps the popover's size in step with the store.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    // `quit` ends the app (by default the event loop's quit). StatusNotifierItem trays are
    // looked for on `bus`; by default on none, so a test never shows up in a desktop's tray.
    explicit AppDelegate(std::unique_ptr<PortStore> store, std::function<void()> quit = {},
                         QDBusConnection bus = QDBusConnection(QString()), QObject* parent = nullptr);
    ~AppDelegate() override;

    // Follows the trays from now on: docks into one whenever one exists and shows the panel as
    // a window whenever none does. Hooks the popover's size to the store. Starts no scan.
    void applicationDidFinishLaunching();
    // The icon's click: closes a shown popover, otherwise refreshes and opens it.
    void togglePopover();
    // Shows the panel, in the tray's popover or in its window, refreshing it; does nothing
    // more when it is already shown. A second launch of the app ends up here.
    void openPopover();
    // Opens the panel on the discovery settings.
    void openDiscoverySettings();
#ifdef VANTU_TEST_HOOKS
    // The tray icon's menu: the servers, then Open Vantu, Refresh, Discovery Settings…, Quit.
    [[nodiscard]] QMenu* trayMenu() const;
    [[nodiscard]] PortStore& store() const {
        return *store_;
    }
    [[nodiscard]] PopoverWindow& popover() const {
        return *popover_;
    }
    [[nodiscard]] const TrayIcon& trayIcon() const {
        return *tray_;
    }
#endif
    // Whether the panel lives in a tray that exists (true) or in a window of its own.
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
    void followTray(TrayIcon::Kind kind);
    void onIconActivated(QSystemTrayIcon::ActivationReason reason);
    void showWithoutTray();
    void dockIntoTray();
    void resizePopover();
    void recolourIcon();
    void describeServers();
    // The tray's text for the listed servers: their number once a scan has run.
    [[nodiscard]] QString serversSentence() const;

    std::unique_ptr<PortStore> store_;
    std::unique_ptr<PopoverWindow> popover_;
    std::unique_ptr<TrayMenu> trayMenu_;
    MenuBarIcon icon_;
    std::unique_ptr<TrayIcon> tray_;
    bool describing_ = false;
};

}  // namespace vantu
