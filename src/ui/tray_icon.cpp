#include "ui/tray_icon.h"

#include "platform/log.h"
#include "ui/menu_bar_icon.h"

#include <QApplication>
#include <QCursor>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

const char* kindName(TrayIcon::Kind kind) {
    switch (kind) {
        case TrayIcon::Kind::none:
            return "none, the panel shows in a window";
        case TrayIcon::Kind::statusNotifier:
            return "StatusNotifierItem";
        case TrayIcon::Kind::xembed:
            return "XEmbed";
    }
    return "";
}

}  // namespace

using platform::StatusNotifierItem;

TrayIcon::TrayIcon(QMenu& menu, QDBusConnection bus, QObject* parent)
    : QObject(parent),
      menu_(menu),
      menuExport_(menu,
                  [](const QObject& submenu) {
                      const auto* widget = qobject_cast<const QWidget*>(&submenu);
                      return widget != nullptr ? widget->actions() : QList<QAction*>();
                  }),
      item_(std::move(bus), u"vantu"_s) {
    item_.setTitle(tr("Vantu"));
    item_.setMenu(&menuExport_);
    connect(&item_, &StatusNotifierItem::registrationChanged, this, &TrayIcon::follow);
    connect(&menuExport_, &platform::DBusMenuExporter::aboutToShow, this, &TrayIcon::menuAboutToShow);
    connect(&item_, &StatusNotifierItem::activated, this, [this](QPoint at) {
        clickedAt_ = at;
        Q_EMIT activated(QSystemTrayIcon::Trigger);
    });
    connect(&item_, &StatusNotifierItem::secondaryActivated, this, [this](QPoint at) {
        clickedAt_ = at;
        Q_EMIT activated(QSystemTrayIcon::MiddleClick);
    });
    connect(&item_, &StatusNotifierItem::contextMenuRequested, this, [this](QPoint at) {
        // A Wayland compositor makes a menu without a parent window an ordinary window (sway
        // tiles it over the whole output): the panel, which offers the same commands, opens.
        if (QGuiApplication::platformName().startsWith(u"wayland"_s)) {
            Q_EMIT activated(QSystemTrayIcon::Context);
        } else {
            menu_.popup(at.isNull() ? QCursor::pos() : at);
        }
    });
    poll_.setInterval(kXEmbedPollMilliseconds);
    connect(&poll_, &QTimer::timeout, this, &TrayIcon::follow);
}

TrayIcon::~TrayIcon() {
    delete xembed_;
}

void TrayIcon::start() {
    item_.start();
    poll_.start();
    follow();
}

void TrayIcon::follow() {
    Kind next = Kind::none;
    switch (item_.registration()) {
        case StatusNotifierItem::Registration::registered:
            next = Kind::statusNotifier;
            break;
        case StatusNotifierItem::Registration::pending:
            // Keep what there is until the watcher answers; and never ask Qt meanwhile.
            return;
        case StatusNotifierItem::Registration::noWatcher:
        case StatusNotifierItem::Registration::refused:
            next = QSystemTrayIcon::isSystemTrayAvailable() ? Kind::xembed : Kind::none;
            break;
    }
    if (decided_ && next == kind_) {
        return;
    }
    decided_ = true;
    qCDebug(lcTray, "tray: %s", kindName(next));
    if (next != Kind::xembed) {
        delete xembed_;
    }
    kind_ = next;
    if (next == Kind::xembed) {
        installXEmbedIcon();
    }
    Q_EMIT kindChanged(next);
}

void TrayIcon::installXEmbedIcon() {
    if (xembed_) {
        return;
    }
    xembed_ = new QSystemTrayIcon(icon_, this);
    xembed_->setToolTip(toolTip_);
    xembed_->setContextMenu(&menu_);
    connect(xembed_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // The context menu shows itself.
        if (reason != QSystemTrayIcon::Context) {
            Q_EMIT activated(reason);
        }
    });
    xembed_->show();
    // An XEmbed tray icon is a widget of ours: give it the name screen readers announce.
    // (A StatusNotifierItem host reads the title and tooltip instead.)
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == u"QSystemTrayIconSys"_s) {
            widget->setAccessibleName(tr("Vantu, development ports"));
            widget->setAccessibleDescription(MenuBarIcon::accessibleDescription());
        }
    }
}

QString TrayIcon::installedIconName() {
    // Hosts that find the installed icon by name draw it sharp at any size and may recolour it;
    // a build run from its folder has none, and the drawn images stand in.
    const QString name = u"dev.vantu.Vantu"_s;
    return QFileInfo::exists(QStringLiteral(VANTU_ICON_THEME_DIR) + u"/hicolor/scalable/apps/"_s + name + u".svg"_s)
               ? name
               : QString();
}

void TrayIcon::setIcon(const QIcon& icon) {
    icon_ = icon;
    if (xembed_) {
        xembed_->setIcon(icon);
    }
    QList<QImage> images;
    for (const QSize& size : icon.availableSizes()) {
        images.append(icon.pixmap(size).toImage());
    }
    const QString name = installedIconName();
    item_.setIcon(name, name.isEmpty() ? QString() : QStringLiteral(VANTU_ICON_THEME_DIR), images);
}

void TrayIcon::setToolTip(const QString& title, const QString& text) {
    toolTip_ = text.isEmpty() ? title : title + u'\n' + text;
    if (xembed_) {
        xembed_->setToolTip(toolTip_);
    }
    item_.setToolTip(title, text);
}

std::optional<QRect> TrayIcon::takeAnchor() {
    const std::optional<QPoint> clicked = std::exchange(clickedAt_, std::nullopt);
    const QRect geometry = xembed_ ? xembed_->geometry() : QRect();
    if (geometry.isValid() && !geometry.isEmpty()) {
        return geometry;
    }
    if (clicked && !clicked->isNull()) {
        return QRect(*clicked, QSize(1, 1));
    }
    return std::nullopt;
}

}  // namespace vantu
