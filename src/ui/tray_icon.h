#pragma once

#include "platform/tray/dbus_menu_exporter.h"
#include "platform/tray/status_notifier_item.h"

#include <QDBusConnection>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSystemTrayIcon>
#include <QTimer>

#include <optional>

class QMenu;

namespace vantu {

// The app's icon in whatever tray the desktop has, followed as trays come and go: a
// StatusNotifierItem whenever a watcher is on the session bus (our own, since Qt asks only once
// whether one exists and never learns of a later one), otherwise an XEmbed icon while an X11
// tray exists, otherwise none.
//
// Qt's QSystemTrayIcon picks its D-Bus backend for the whole run the first time it is asked
// and a host is registered; it is only ever asked here while no watcher is on the bus, so it
// stays the XEmbed icon and never registers a second item.
class TrayIcon : public QObject {
    Q_OBJECT

public:
    enum class Kind { none, statusNotifier, xembed };

    // How often the XEmbed tray is looked for while no watcher is on the bus: X11 trays do not
    // announce themselves on the bus.
    static constexpr int kXEmbedPollMilliseconds = 2000;

    // `menu` is the right-click menu, in both kinds of tray; it must outlive the icon.
    TrayIcon(QMenu& menu, QDBusConnection bus, QObject* parent = nullptr);
    ~TrayIcon() override;

    // Publishes the item and starts following the trays. The first `kindChanged` comes at once
    // without a session bus, and once the bus has answered with one.
    void start();
    [[nodiscard]] Kind kind() const { return kind_; }
    [[nodiscard]] QSystemTrayIcon* xembedIcon() const { return xembed_; }
#ifdef VANTU_TEST_HOOKS
    [[nodiscard]] const platform::StatusNotifierItem& statusNotifierItem() const {
        return item_;
    }
#endif

    void setIcon(const QIcon& icon);
    void setToolTip(const QString& title, const QString& text);
    // Where a popover should open: the XEmbed icon's rectangle, else the place a
    // StatusNotifierItem host gave with the click; nullopt when neither is known (a click in the
    // tray's menu). Forgets the click.
    [[nodiscard]] std::optional<QRect> takeAnchor();

Q_SIGNALS:
    void kindChanged(vantu::TrayIcon::Kind kind);
    // A click (Trigger), a double click (XEmbed only), a middle click on the icon, or, where
    // no menu can pop up on its own (Wayland), a right click (Context).
    void activated(QSystemTrayIcon::ActivationReason reason);
    // A StatusNotifierItem host is about to show the menu.
    void menuAboutToShow();

private:
    void follow();
    void installXEmbedIcon();
    [[nodiscard]] static QString installedIconName();

    QMenu& menu_;
    platform::DBusMenuExporter menuExport_;
    platform::StatusNotifierItem item_;
    QPointer<QSystemTrayIcon> xembed_;
    QTimer poll_;
    Kind kind_ = Kind::none;
    bool decided_ = false;
    QIcon icon_;
    QString toolTip_;
    std::optional<QPoint> clickedAt_;
};

}  // namespace vantu
