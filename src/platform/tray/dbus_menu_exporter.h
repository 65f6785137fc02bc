#pragma once

#include "platform/tray/dbus_menu_wire.h"

#include <QDBusContext>
#include <QDBusVariant>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <optional>

class QAction;

namespace vantu::platform {

// A flat menu of actions published as a com.canonical.dbusmenu object, so that a tray host
// can draw the item's menu itself. The root has id 0; the n-th action has id n. A "clicked"
// event triggers the action once the call has been answered.
class DBusMenuExporter : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

public:
    static constexpr uint kProtocolVersion = 3;

    // The actions are watched, not owned: one that is destroyed drops out of the menu.
    explicit DBusMenuExporter(const QList<QAction*>& actions, QObject* parent = nullptr);

    // The tree under `parentId` down to `depth` levels (-1: all), with only the named
    // properties (all when none are named); nullopt for an unknown id.
    [[nodiscard]] std::optional<DBusMenuLayoutItem> layout(int parentId, int depth,
                                                           const QStringList& propertyNames) const;
    // What the protocol calls an item's properties, for an action.
    [[nodiscard]] static QVariantMap propertiesOf(const QAction& action);
    // Qt marks a mnemonic with "&" and the protocol with "_".
    [[nodiscard]] static QString protocolLabel(const QString& text);

    [[nodiscard]] static uint version() { return kProtocolVersion; }
    [[nodiscard]] QString textDirection() const;
    [[nodiscard]] static QString status();
    [[nodiscard]] static QStringList iconThemePath() { return {}; }

public Q_SLOTS:
    Q_SCRIPTABLE uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                                vantu::platform::DBusMenuLayoutItem& layout);
    Q_SCRIPTABLE QList<vantu::platform::DBusMenuItemProperties> GetGroupProperties(const QList<int>& ids,
                                                                                   const QStringList& propertyNames);
    Q_SCRIPTABLE QDBusVariant GetProperty(int id, const QString& name);
    Q_SCRIPTABLE void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
    Q_SCRIPTABLE QList<int> EventGroup(const QList<vantu::platform::DBusMenuEvent>& events);
    Q_SCRIPTABLE bool AboutToShow(int id);
    Q_SCRIPTABLE QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

Q_SIGNALS:
    Q_SCRIPTABLE void ItemsPropertiesUpdated(const QList<vantu::platform::DBusMenuItemProperties>& updatedProps,
                                             const QList<vantu::platform::DBusMenuItemKeys>& removedProps);
    Q_SCRIPTABLE void LayoutUpdated(uint revision, int parent);
    Q_SCRIPTABLE void ItemActivationRequested(int id, uint timestamp);

private:
    [[nodiscard]] QAction* actionOf(int id) const;
    [[nodiscard]] std::optional<QVariantMap> propertiesOf(int id, const QStringList& names) const;
    // Answers the caller with an error when the id names no item; true when it does.
    bool known(int id);
    // Whether the event was taken; false for an unknown id.
    bool handle(int id, const QString& eventId);

    QList<QPointer<QAction>> actions_;
    uint revision_ = 1;
};

}  // namespace vantu::platform
