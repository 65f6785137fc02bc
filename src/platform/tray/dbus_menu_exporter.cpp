#include "platform/tray/dbus_menu_exporter.h"

#include <QAction>
#include <QActionEvent>
#include <QBuffer>
#include <QGuiApplication>
#include <QMetaObject>

using namespace Qt::StringLiterals;

namespace vantu::platform {
namespace {

QVariantMap only(const QVariantMap& properties, const QStringList& names) {
    if (names.isEmpty()) {
        return properties;
    }
    QVariantMap chosen;
    for (const QString& name : names) {
        if (properties.contains(name)) {
            chosen.insert(name, properties.value(name));
        }
    }
    return chosen;
}

}  // namespace

DBusMenuExporter::DBusMenuExporter(QObject& root, ActionsOf actionsOf, QObject* parent)
    : QObject(parent), root_(&root), actionsOf_(std::move(actionsOf)) {
    registerDBusMenuTypes();
    watch(&root);
}

DBusMenuExporter::~DBusMenuExporter() {
    for (const QPointer<QObject>& menu : std::as_const(watched_)) {
        if (menu) {
            menu->removeEventFilter(this);
        }
    }
}

void DBusMenuExporter::watch(QObject* menu) {
    if (watched_.contains(menu)) {
        return;
    }
    watched_.append(menu);
    menu->installEventFilter(this);
    for (QAction* action : actionsOf_(*menu)) {
        identify(action);
        if (action->menu<QObject*>() != nullptr) {
            watch(action->menu<QObject*>());
        }
    }
}

int DBusMenuExporter::identify(QAction* action) {
    // An address may come back for a new action once the old one is gone.
    const int known = ids_.value(action);
    if (known != 0 && actionOf(known) == action) {
        return known;
    }
    ids_.insert(action, nextId_);
    actions_.insert(nextId_, action);
    return nextId_++;
}

void DBusMenuExporter::forget(QAction* action) {
    if (QObject* submenu = action->menu<QObject*>()) {
        watched_.removeAll(submenu);
        submenu->removeEventFilter(this);
        for (QAction* child : actionsOf_(*submenu)) {
            forget(child);
        }
    }
    actions_.remove(ids_.take(action));
}

bool DBusMenuExporter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched_.contains(watched) &&
        (type == QEvent::ActionAdded || type == QEvent::ActionRemoved || type == QEvent::ActionChanged)) {
        QAction* action = static_cast<QActionEvent*>(event)->action();
        if (type == QEvent::ActionRemoved) {
            // Its id is not given to another action: a host may still hold it.
            forget(action);
            announceLayout();
        } else if (type == QEvent::ActionAdded || actionOf(ids_.value(action)) != action) {
            identify(action);
            if (action->menu<QObject*>() != nullptr) {
                watch(action->menu<QObject*>());
            }
            announceLayout();
        } else {
            const int id = ids_.value(action);
            if (action->menu<QObject*>() != nullptr && !watched_.contains(action->menu<QObject*>())) {
                watch(action->menu<QObject*>());
                announceLayout();
            }
            Q_EMIT ItemsPropertiesUpdated({DBusMenuItemProperties{id, propertiesOf(*action)}}, {});
        }
    }
    return QObject::eventFilter(watched, event);
}

void DBusMenuExporter::announceLayout() {
    // A menu rebuilt action by action is one change to the host.
    if (!announcing_) {
        announcing_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                announcing_ = false;
                Q_EMIT LayoutUpdated(++revision_, 0);
            },
            Qt::QueuedConnection);
    }
}

QList<QAction*> DBusMenuExporter::childrenOf(int id) const {
    if (id == 0) {
        return root_ ? actionsOf_(*root_) : QList<QAction*>();
    }
    const QAction* action = actionOf(id);
    return action != nullptr && action->menu<QObject*>() != nullptr ? actionsOf_(*action->menu<QObject*>())
                                                                    : QList<QAction*>();
}

QString DBusMenuExporter::protocolLabel(const QString& text) {
    QString label;
    label.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'&') {
            // "&&" is a literal ampersand; a lone "&" marks the next letter.
            if (i + 1 < text.size() && text.at(i + 1) == u'&') {
                label += u'&';
                ++i;
            } else {
                label += u'_';
            }
        } else if (c == u'_') {
            label += u"__"_s;
        } else {
            label += c;
        }
    }
    return label;
}

QVariantMap DBusMenuExporter::propertiesOf(const QAction& action) {
    QVariantMap properties;
    if (!action.isVisible()) {
        properties.insert(u"visible"_s, false);
    }
    if (action.isSeparator()) {
        properties.insert(u"type"_s, u"separator"_s);
        return properties;
    }
    properties.insert(u"label"_s, protocolLabel(action.text()));
    properties.insert(u"enabled"_s, action.isEnabled());
    if (!action.icon().name().isEmpty()) {
        properties.insert(u"icon-name"_s, action.icon().name());
    } else if (!action.icon().isNull()) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        action.icon().pixmap(16).save(&buffer, "PNG");
        properties.insert(u"icon-data"_s, png);
    }
    if (action.menu<QObject*>() != nullptr) {
        properties.insert(u"children-display"_s, u"submenu"_s);
    }
    if (action.isCheckable()) {
        properties.insert(u"toggle-type"_s, action.actionGroup() != nullptr ? u"radio"_s : u"checkmark"_s);
        properties.insert(u"toggle-state"_s, action.isChecked() ? 1 : 0);
    }
    return properties;
}

QAction* DBusMenuExporter::actionOf(int id) const {
    return actions_.value(id).data();
}

std::optional<QVariantMap> DBusMenuExporter::propertiesOf(int id, const QStringList& names) const {
    if (id == 0) {
        return only({{u"children-display"_s, u"submenu"_s}}, names);
    }
    if (const QAction* action = actionOf(id)) {
        return only(propertiesOf(*action), names);
    }
    return std::nullopt;
}

std::optional<DBusMenuLayoutItem> DBusMenuExporter::layout(int parentId, int depth,
                                                           const QStringList& propertyNames) const {
    const std::optional<QVariantMap> properties = propertiesOf(parentId, propertyNames);
    if (!properties) {
        return std::nullopt;
    }
    DBusMenuLayoutItem item{parentId, *properties, {}};
    if (depth != 0) {
        for (const QAction* action : childrenOf(parentId)) {
            if (const auto child = layout(ids_.value(action), depth < 0 ? depth : depth - 1, propertyNames)) {
                item.children.append(*child);
            }
        }
    }
    return item;
}

QString DBusMenuExporter::textDirection() const {
    return QGuiApplication::layoutDirection() == Qt::RightToLeft ? u"rtl"_s : u"ltr"_s;
}

QString DBusMenuExporter::status() {
    return u"normal"_s;
}

bool DBusMenuExporter::known(int id) {
    if (id == 0 || actionOf(id) != nullptr) {
        return true;
    }
    if (calledFromDBus()) {
        sendErrorReply(QDBusError::InvalidArgs, u"No menu item has the id %1"_s.arg(id));
    }
    return false;
}

uint DBusMenuExporter::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                                 DBusMenuLayoutItem& layoutItem) {
    if (known(parentId)) {
        layoutItem = layout(parentId, recursionDepth, propertyNames).value_or(DBusMenuLayoutItem{});
    }
    return revision_;
}

QList<DBusMenuItemProperties> DBusMenuExporter::GetGroupProperties(const QList<int>& ids,
                                                                   const QStringList& propertyNames) {
    QList<DBusMenuItemProperties> found;
    for (const int id : ids) {
        if (const auto properties = propertiesOf(id, propertyNames)) {
            found.append({id, *properties});
        }
    }
    return found;
}

QDBusVariant DBusMenuExporter::GetProperty(int id, const QString& name) {
    if (!known(id)) {
        return {};
    }
    const QVariantMap properties = propertiesOf(id, {}).value_or(QVariantMap{});
    if (!properties.contains(name)) {
        if (calledFromDBus()) {
            sendErrorReply(QDBusError::InvalidArgs, u"Menu item %1 has no property %2"_s.arg(id).arg(name));
        }
        return {};
    }
    return QDBusVariant(properties.value(name));
}

bool DBusMenuExporter::handle(int id, const QString& eventId) {
    if (id != 0 && actionOf(id) == nullptr) {
        return false;
    }
    if (id == 0 && eventId == u"opened"_s) {
        QMetaObject::invokeMethod(this, &DBusMenuExporter::aboutToShow, Qt::QueuedConnection);
    }
    if (eventId == u"clicked"_s) {
        if (QAction* action = actionOf(id); action != nullptr && action->isEnabled()) {
            // After the reply: an action such as Quit must not leave the host waiting for it.
            QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection);
        }
    }
    return true;
}

void DBusMenuExporter::Event(int id, const QString& eventId, const QDBusVariant& /*data*/, uint /*timestamp*/) {
    if (known(id)) {
        handle(id, eventId);
    }
}

QList<int> DBusMenuExporter::EventGroup(const QList<DBusMenuEvent>& events) {
    QList<int> unknown;
    for (const DBusMenuEvent& event : events) {
        if (!handle(event.id, event.eventId)) {
            unknown.append(event.id);
        }
    }
    return unknown;
}

bool DBusMenuExporter::AboutToShow(int id) {
    // The host waits for the answer before it shows the menu: what the app does about it
    // (a scan) runs after, and the menu follows with LayoutUpdated.
    if (known(id) && id == 0) {
        QMetaObject::invokeMethod(this, &DBusMenuExporter::aboutToShow, Qt::QueuedConnection);
    }
    return false;
}

QList<int> DBusMenuExporter::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
    idErrors.clear();
    for (const int id : ids) {
        if (id != 0 && actionOf(id) == nullptr) {
            idErrors.append(id);
        } else if (id == 0) {
            QMetaObject::invokeMethod(this, &DBusMenuExporter::aboutToShow, Qt::QueuedConnection);
        }
    }
    return {};
}

}  // namespace vantu::platform
