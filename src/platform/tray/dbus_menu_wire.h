#pragma once

#include <QDBusArgument>
#include <QDBusVariant>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace vantu::platform {

// The records of the com.canonical.dbusmenu protocol, as the bus carries them.

// A node of the menu's tree ((ia{sv}av)): its id, its properties and its children, each child
// wrapped in a variant.
struct DBusMenuLayoutItem {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayoutItem> children;
};

// The properties of one item ((ia{sv})).
struct DBusMenuItemProperties {
    int id = 0;
    QVariantMap properties;
};

// The names of properties an item no longer has ((ias)).
struct DBusMenuItemKeys {
    int id = 0;
    QStringList names;
};

// One event sent by the host ((isvu)): "clicked", "hovered", "opened", "closed".
struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayoutItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayoutItem& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemProperties& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemProperties& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemKeys& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemKeys& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& event);

// Makes the types above known to the bus; needed before an object using them is exported.
void registerDBusMenuTypes();

}  // namespace vantu::platform

Q_DECLARE_METATYPE(vantu::platform::DBusMenuLayoutItem)
Q_DECLARE_METATYPE(vantu::platform::DBusMenuItemProperties)
Q_DECLARE_METATYPE(vantu::platform::DBusMenuItemKeys)
Q_DECLARE_METATYPE(vantu::platform::DBusMenuEvent)
