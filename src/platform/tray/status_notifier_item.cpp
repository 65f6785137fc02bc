#include "platform/tray/status_notifier_item.h"

#include "platform/log.h"
#include "platform/tray/dbus_menu_exporter.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QTimer>

#include <algorithm>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace vantu::platform {
namespace {

const QString kWatcherService = u"org.kde.StatusNotifierWatcher"_s;
const QString kWatcherPath = u"/StatusNotifierWatcher"_s;
const QString kItemPath = u"/StatusNotifierItem"_s;
const QString kMenuPath = u"/MenuBar"_s;
constexpr QDBusConnection::RegisterOptions kExported = QDBusConnection::ExportScriptableSlots |
                                                       QDBusConnection::ExportScriptableSignals |
                                                       QDBusConnection::ExportScriptableProperties;

}  // namespace

StatusNotifierItem::StatusNotifierItem(QDBusConnection bus, QString id, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), id_(std::move(id)) {
    registerStatusNotifierTypes();
}

StatusNotifierItem::~StatusNotifierItem() {
    if (!serviceName_.isEmpty()) {
        bus_.unregisterService(serviceName_);
        bus_.unregisterObject(kItemPath);
        bus_.unregisterObject(kMenuPath);
    }
}

bool StatusNotifierItem::start() {
    if (!serviceName_.isEmpty()) {
        return false;
    }
    if (!bus_.isConnected()) {
        qCDebug(lcTray, "no session bus: no StatusNotifierItem tray is looked for");
        return false;
    }
    if (menu_ != nullptr && !bus_.registerObject(kMenuPath, menu_, kExported)) {
        qCWarning(lcTray, "cannot publish the tray menu on the session bus at %s", qUtf8Printable(kMenuPath));
    }
    if (!bus_.registerObject(kItemPath, this, kExported)) {
        qCWarning(lcTray, "cannot publish the StatusNotifierItem on the session bus at %s", qUtf8Printable(kItemPath));
    }
    // The name hosts expect; a second item of this process takes the next number.
    for (int instance = 1; instance <= 16 && serviceName_.isEmpty(); ++instance) {
        const QString name = u"org.kde.StatusNotifierItem-%1-%2"_s.arg(::getpid()).arg(instance);
        if (bus_.registerService(name)) {
            serviceName_ = name;
        }
    }
    if (serviceName_.isEmpty()) {
        qCWarning(lcTray,
                  "cannot own a StatusNotifierItem name on the session bus (%s): no such tray will show the app",
                  qUtf8Printable(bus_.lastError().message()));
        bus_.unregisterObject(kItemPath);
        bus_.unregisterObject(kMenuPath);
        return false;
    }
    retry_ = new QTimer(this);
    retry_->setSingleShot(true);
    connect(retry_, &QTimer::timeout, this, &StatusNotifierItem::registerWithWatcher);
    bus_.connect(kWatcherService, kWatcherPath, kWatcherService, u"StatusNotifierItemUnregistered"_s, this,
                 SLOT(onItemUnregistered(QString)));
    watcher_ = new QDBusServiceWatcher(kWatcherService, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString& /*service*/, const QString& /*oldOwner*/, const QString& newOwner) {
                // A new watcher owes the item nothing: it gets the full retries.
                retry_->stop();
                retries_ = 0;
                registeredAt_.invalidate();
                if (newOwner.isEmpty()) {
                    qCDebug(lcTray, "the StatusNotifierWatcher left the session bus");
                    ++attempt_;
                    setRegistration(Registration::noWatcher);
                } else {
                    registerWithWatcher();
                }
            });
    // Whether a watcher runs already; the service watcher reports only later changes.
    setRegistration(Registration::pending);
    const quint64 attempt = ++attempt_;
    auto* call = new QDBusPendingCallWatcher(bus_.interface()->asyncCall(u"NameHasOwner"_s, kWatcherService), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, call, attempt] {
        call->deleteLater();
        if (attempt != attempt_) {
            return;
        }
        const QDBusPendingReply<bool> reply = *call;
        if (reply.isError()) {
            qCWarning(lcTray, "cannot ask the session bus for a StatusNotifierWatcher: %s",
                      qUtf8Printable(reply.error().message()));
        }
        if (!reply.isError() && reply.value()) {
            registerWithWatcher();
        } else {
            setRegistration(Registration::noWatcher);
        }
    });
    return true;
}

void StatusNotifierItem::registerWithWatcher() {
    const quint64 attempt = ++attempt_;
    setRegistration(Registration::pending);
    QDBusMessage message =
        QDBusMessage::createMethodCall(kWatcherService, kWatcherPath, kWatcherService, u"RegisterStatusNotifierItem"_s);
    // By its path on this connection, not by the name: GNOME's extension watches an item given
    // by name for the name's owner, and when that answer overtakes its first read of the item it
    // wipes what it read and fails on reading it again ("Argument two may not be null"), then
    // drops the item. Every watcher takes a path (libappindicator's items register so).
    message << kItemPath;
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(message), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, call, attempt] {
        call->deleteLater();
        if (attempt != attempt_) {
            return;
        }
        if (call->isError()) {
            qCWarning(lcTray, "the StatusNotifierWatcher refused the item: %s",
                      qUtf8Printable(call->error().message()));
            registerAgain("it refused the item");
            return;
        }
        registeredAt_.start();
        setRegistration(Registration::registered);
        checkKept();
    });
}

void StatusNotifierItem::checkKept() {
    const quint64 attempt = attempt_;
    QDBusMessage message =
        QDBusMessage::createMethodCall(kWatcherService, kWatcherPath, u"org.freedesktop.DBus.Properties"_s, u"Get"_s);
    message << kWatcherService << u"RegisteredStatusNotifierItems"_s;
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(message), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, call, attempt] {
        call->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *call;
        // A watcher without the list gives no reason to doubt its answer.
        if (attempt != attempt_ || reply.isError()) {
            return;
        }
        const QStringList items = reply.value().variant().toStringList();
        if (std::none_of(items.cbegin(), items.cend(), [this](const QString& item) { return isOurs(item); })) {
            registerAgain("its list of items lacks the item");
        }
    });
}

void StatusNotifierItem::onItemUnregistered(const QString& item) {
    if (registration_ == Registration::registered && isOurs(item)) {
        registerAgain("it let the item go");
    }
}

bool StatusNotifierItem::isOurs(const QString& entry) const {
    for (const QString& name : {serviceName_, bus_.baseService()}) {
        if (!name.isEmpty() && entry.startsWith(name) &&
            (entry.size() == name.size() || entry.at(name.size()) == u'/' || entry.at(name.size()) == u'@')) {
            return true;
        }
    }
    return false;
}

void StatusNotifierItem::registerAgain(const char* why) {
    ++attempt_;
    if (registeredAt_.isValid() && registeredAt_.elapsed() > kKeptMilliseconds) {
        retries_ = 0;
    }
    registeredAt_.invalidate();
    if (retries_ >= kRetryLimit) {
        qCWarning(lcTray, "the StatusNotifierWatcher does not keep the item (%s): giving up on that tray", why);
        setRegistration(Registration::refused);
        return;
    }
    const int wait = kFirstRetryMilliseconds << retries_;
    ++retries_;
    qCDebug(lcTray, "the StatusNotifierWatcher does not keep the item (%s): asking again in %d ms", why, wait);
    setRegistration(Registration::pending);
    retry_->start(wait);
}

void StatusNotifierItem::setRegistration(Registration registration) {
    if (registration != registration_) {
        registration_ = registration;
        Q_EMIT registrationChanged();
    }
}

void StatusNotifierItem::setTitle(const QString& title) {
    if (title != title_) {
        title_ = title;
        Q_EMIT NewTitle();
    }
}

void StatusNotifierItem::setIcon(const QString& name, const QString& themePath, const QList<QImage>& images) {
    iconName_ = name;
    iconThemePath_ = themePath;
    iconPixmaps_.clear();
    for (const QImage& image : images) {
        iconPixmaps_.append(SniPixmap::fromImage(image));
    }
    toolTip_.iconName = name;
    toolTip_.pixmaps = iconPixmaps_;
    Q_EMIT NewIcon();
}

void StatusNotifierItem::setToolTip(const QString& title, const QString& text) {
    if (title != toolTip_.title || text != toolTip_.text) {
        toolTip_.title = title;
        toolTip_.text = text;
        Q_EMIT NewToolTip();
    }
}

void StatusNotifierItem::setMenu(DBusMenuExporter* menu) {
    menu_ = menu;
}

QString StatusNotifierItem::category() {
    return u"ApplicationStatus"_s;
}

QString StatusNotifierItem::status() {
    return u"Active"_s;
}

QDBusObjectPath StatusNotifierItem::menu() const {
    // The protocol's word for "no menu".
    return QDBusObjectPath(menu_ != nullptr ? kMenuPath : u"/NO_DBUSMENU"_s);
}

void StatusNotifierItem::ContextMenu(int x, int y) {
    Q_EMIT contextMenuRequested({x, y});
}

void StatusNotifierItem::Activate(int x, int y) {
    Q_EMIT activated({x, y});
}

void StatusNotifierItem::SecondaryActivate(int x, int y) {
    Q_EMIT secondaryActivated({x, y});
}

void StatusNotifierItem::Scroll(int /*delta*/, const QString& /*orientation*/) {}

}  // namespace vantu::platform
