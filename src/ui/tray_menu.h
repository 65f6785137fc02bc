#pragma once

#include "core/listener.h"
#include "core/stop_target.h"

#include <QMenu>
#include <QObject>

#include <optional>

namespace vantu {

class PortStore;

// The tray icon's menu: each listed server with a submenu of what its row offers (its stop, then
// the row menu), above Open Vantu, Refresh, Discovery Settings… and Quit. On GNOME a click on the
// icon shows it, so the servers are one click away there too. It follows the store.
class TrayMenu : public QObject {
    Q_OBJECT

public:
    explicit TrayMenu(PortStore& store, QObject* parent = nullptr);
    ~TrayMenu() override;

    [[nodiscard]] QMenu& menu() { return menu_; }
    // A server's entry: "shop-frontend · 3000", as the row names it.
    [[nodiscard]] static QString serverLabel(const QString& displayName, quint16 port);

Q_SIGNALS:
    void openRequested();
    void discoverySettingsRequested();
    void quitRequested();

private:
    // Replaces the server entries with those of the store's list; waits while the menu is shown
    // here, where a submenu may be open under the pointer.
    void updateServers();

    PortStore& store_;
    QMenu menu_;
    QAction* commandsStart_ = nullptr;
    QList<QMenu*> servers_;
    // What the entries show: each server, whether it is being stopped and what a forced stop
    // would end. A menu rebuilt without need would renumber its items under a host's pointer.
    struct Shown {
        Listener listener;
        bool stopping = false;
        std::optional<StopTarget> force;
        friend bool operator==(const Shown&, const Shown&) = default;
    };
    QList<Shown> shown_;
    bool updating_ = false;
    bool stale_ = false;
};

}  // namespace vantu
