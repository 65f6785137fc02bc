#include "platform/tray/dbus_menu_exporter.h"

#include <QAction>
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

DBusMenuExporter::DBusMenuExporter(const QList<QAction*>& actions, QObject* parent) : QObject(parent) {
    registerDBusMenuTypes();
    for (QAction* action : actions) {
        const int id = static_cast<int>(actions_.size()) + 1;
        actions_.append(action);
        connect(action, &QAction::changed, this, [this, id] {
            if (const auto properties = propertiesOf(id, {})) {
                Q_EMIT ItemsPropertiesUpdated({DBusMenuItemProperties{id, *properties}}, {});
            }
        });
        connect(action, &QObject::destroyed, this, [this] { Q_EMIT LayoutUpdated(++revision_, 0); });
    }
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
    }
    if (action.isCheckable()) {
        properties.insert(u"toggle-type"_s, action.actionGroup() != nullptr ? u"radio"_s : u"checkmark"_s);
        properties.insert(u"toggle-state"_s, action.isChecked() ? 1 : 0);
    }
    return properties;
}

QAction* DBusMenuExporter::actionOf(int id) const {
    return id >= 1 && id <= actions_.size() ? actions_.at(id - 1).data() : nullptr;
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
    // The menu is flat: only the root has children.
    if (parentId == 0 && depth != 0) {
        for (int id = 1; id <= actions_.size(); ++id) {
            if (const auto child = propertiesOf(id, propertyNames)) {
                item.children.append({id, *child, {}});
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
    known(id);
    return false;
}

QList<int> DBusMenuExporter::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
    idErrors.clear();
    for (const int id : ids) {
        if (id != 0 && actionOf(id) == nullptr) {
            idErrors.append(id);
        }
    }
    return {};
}

}  // namespace vantu::platform
