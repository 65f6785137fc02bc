#pragma once

#include "platform/tray/dbus_menu_wire.h"

#include <QDBusContext>
#include <QDBusVariant>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <optional>

class QAction;

namespace vantu::platform {

// A menu and its submenus published as a com.canonical.dbusmenu object, so that a tray host
// can draw the item's menu itself. The root has id 0; every action gets an id of its own when it
// is first seen (in menu order), kept while it stays in the menu. A "clicked" event triggers the
// action once the call has been answered. Actions added to or removed from any of the menus are
// announced with one LayoutUpdated.
class DBusMenuExporter : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

public:
    static constexpr uint kProtocolVersion = 3;

    // A menu's actions, in order. (Menus are widgets, which this layer knows nothing of.)
    using ActionsOf = std::function<QList<QAction*>(const QObject& menu)>;

    // The menu is watched, not owned; it must outlive the exporter. A submenu is an action's
    // menu object.
    DBusMenuExporter(QObject& root, ActionsOf actionsOf, QObject* parent = nullptr);
    ~DBusMenuExporter() override;

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

    // For the app: the host is about to show the menu; emitted after the host has its answer.
    void aboutToShow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Gives the menu's actions, and those of its submenus, ids and follows their changes.
    void watch(QObject* menu);
    // The action's id, a new one for an action not seen before.
    int identify(QAction* action);
    void forget(QAction* action);
    void announceLayout();
    [[nodiscard]] QList<QAction*> childrenOf(int id) const;
    [[nodiscard]] QAction* actionOf(int id) const;
    [[nodiscard]] std::optional<QVariantMap> propertiesOf(int id, const QStringList& names) const;
    // Answers the caller with an error when the id names no item; true when it does.
    bool known(int id);
    // Whether the event was taken; false for an unknown id.
    bool handle(int id, const QString& eventId);

    QPointer<QObject> root_;
    ActionsOf actionsOf_;
    QHash<int, QPointer<QAction>> actions_;
    QHash<const QAction*, int> ids_;
    QList<QPointer<QObject>> watched_;
    int nextId_ = 1;
    uint revision_ = 1;
    bool announcing_ = false;
};

}  // namespace vantu::platform
