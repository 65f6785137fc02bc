#include "ui/tray_menu.h"

#include "store/port_store.h"
#include "ui/row_menu.h"
#include "ui/symbol.h"

#include <QPainter>
#include <QPixmap>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

// The row's lock, for a server this user may not stop.
QIcon lockIcon() {
    QPixmap pixmap(32, 32);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    Symbols::paintFallback(painter, Symbol::lockFill, QRectF(2, 2, 12, 12), QColor(0x80, 0x80, 0x80));
    return QIcon(pixmap);
}

}  // namespace

TrayMenu::TrayMenu(PortStore& store, QObject* parent) : QObject(parent), store_(store) {
    menu_.setObjectName(u"trayMenu"_s);
    commandsStart_ = menu_.addSeparator();
    commandsStart_->setVisible(false);
    connect(menu_.addAction(tr("Open Vantu")), &QAction::triggered, this, &TrayMenu::openRequested);
    connect(menu_.addAction(tr("Refresh")), &QAction::triggered, this, [this] { store_.refresh(); });
    connect(menu_.addAction(tr("Discovery Settings\u2026")), &QAction::triggered, this,
            &TrayMenu::discoverySettingsRequested);
    menu_.addSeparator();
    connect(menu_.addAction(tr("Quit")), &QAction::triggered, this, &TrayMenu::quitRequested);
    connect(&store_, &PortStore::willChange, this, [this] {
        if (!updating_) {
            updating_ = true;
            QMetaObject::invokeMethod(this, &TrayMenu::updateServers, Qt::QueuedConnection);
        }
    });
    connect(&menu_, &QMenu::aboutToHide, this, [this] {
        if (stale_) {
            QMetaObject::invokeMethod(this, &TrayMenu::updateServers, Qt::QueuedConnection);
        }
    });
    updateServers();
}

// The server menus are the menu's children.
TrayMenu::~TrayMenu() = default;

QString TrayMenu::serverLabel(const QString& displayName, quint16 port) {
    return displayName + u" \u00b7 "_s + QString::number(port);
}

void TrayMenu::updateServers() {
    updating_ = false;
    if (menu_.isVisible()) {
        stale_ = true;
        return;
    }
    stale_ = false;
    QList<Shown> shown;
    for (const Listener& listener : store_.listeners()) {
        const StopTarget* force = store_.forceTarget(listener);
        shown.append({listener, store_.isStopping(listener),
                      force != nullptr ? std::optional<StopTarget>(*force) : std::nullopt});
    }
    if (shown == shown_ && servers_.size() == shown.size()) {
        return;
    }
    shown_ = shown;
    // Out of the menu first, so whoever follows it sees each entry leave whole.
    for (QMenu* server : std::as_const(servers_)) {
        menu_.removeAction(server->menuAction());
        server->deleteLater();
    }
    servers_.clear();
    for (const auto& [listener, stopping, force] : std::as_const(shown_)) {
        QMenu* server = RowMenu::build(store_, listener, &menu_);
        const QString label = serverLabel(listener.displayName(), listener.port);
        QString title = stopping ? tr("%1 \u2014 Stopping\u2026").arg(label) : label;
        server->setTitle(title.replace(u'&', u"&&"_s));
        if (!listener.canStop()) {
            server->setIcon(lockIcon());
        }
        // The row's own button first: Stop, or Force once a stop did not take.
        auto* stop = new QAction(force ? tr("Force") : tr("Stop"), server);
        stop->setObjectName(u"stop"_s);
        stop->setEnabled(listener.canStop() && !stopping);
        connect(stop, &QAction::triggered, this, [this, row = listener] { store_.stop(row); });
        QAction* first = server->actions().value(0);
        server->insertAction(first, stop);
        server->insertSeparator(first);
        menu_.insertMenu(commandsStart_, server);
        servers_.append(server);
    }
    commandsStart_->setVisible(!servers_.isEmpty());
}

}  // namespace vantu
