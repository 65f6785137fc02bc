#include "ui/row_menu.h"

#include "core/visible_text.h"
#include "store/port_store.h"

#include <QCoreApplication>
#include <QMenu>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace vantu::RowMenu {
namespace {

// Stopping the process group the listener runs in, or the unit that manages it.
void addGroupActions(PortStore& store, QMenu* menu, const Listener& listener) {
    const std::optional<ProcessGroup>& group = listener.group;
    if (!group || !listener.identity || !listener.canTerminate()) {
        return;
    }
    const bool stopping = store.isStopping(listener);
    // A command line is any process's text: its control characters are spelled out, and an
    // ampersand in it is no keyboard mnemonic.
    const auto literal = [](const QString& text) { return visible(text).replace(u'&', u"&&"_s); };
    if (group->unit) {
        // The manager would start a signalled server again: stopping the unit is what lasts.
        menu->addSeparator();
        QAction* stopUnit = menu->addAction(
            QCoreApplication::translate("vantu::PopoverView", "Stop Unit %1").arg(literal(*group->unit)));
        stopUnit->setObjectName(u"stopUnit"_s);
        stopUnit->setEnabled(!stopping);
        QObject::connect(stopUnit, &QAction::triggered, menu, [&store, listener] { store.stopUnit(listener); });
        return;
    }
    const StopTarget* offer = store.forceTarget(listener);
    const ProcessGroup* toForce =
        offer != nullptr && offer->kind() == StopTarget::Kind::processGroup ? &*offer->group() : nullptr;
    const bool force = toForce != nullptr;
    if (!force && !group->hasOthers()) {
        return;  // the group is the process alone: the row's own button stops it
    }
    menu->addSeparator();
    const auto count = static_cast<int>(force ? toForce->members.size() : group->members.size());
    // Once offered, the forced stop is named after the group as it was stopped.
    const QString leader = literal(force ? toForce->leaderCommand : group->leaderCommand);
    // A group that serves more than this row's port frees every one of them: they are named.
    const StopTarget target = StopTarget::processGroup(force ? *toForce : *group);
    QList<uint16_t> ports;
    for (const Listener& shown : store.listeners()) {
        if (target.covers(shown) && !ports.contains(shown.port)) {
            ports.append(shown.port);
        }
    }
    std::sort(ports.begin(), ports.end());
    QStringList portList;
    for (const uint16_t port : std::as_const(ports)) {
        portList.append(QString::number(port));
    }
    const QString named = leader + u" \u2014 "_s +
                          QCoreApplication::translate("vantu::PopoverView", "ports %1").arg(portList.join(u", "_s));
    const QString title = ports.size() > 1 ? named : leader;
    QAction* stopGroup = menu->addAction(
        force ? QCoreApplication::translate("vantu::PopoverView", "Force Quit %1 (%n processes)", nullptr, count)
                    .arg(title)
              : QCoreApplication::translate("vantu::PopoverView", "Stop %1 (%n processes)", nullptr, count).arg(title));
    stopGroup->setObjectName(u"stopGroup"_s);
    // A group that must not be signalled (it holds the user's shell, say) is refused when the
    // stop reads it again, and the error line says why.
    stopGroup->setEnabled(!stopping);
    QObject::connect(stopGroup, &QAction::triggered, menu, [&store, listener] { store.stopGroup(listener); });
}

// Stopping every container of the compose project the row's container belongs to.
void addComposeActions(PortStore& store, QMenu* menu, const Listener& listener) {
    if (!listener.container || listener.container->composeMembers.isEmpty()) {
        return;
    }
    const StopTarget* offer = store.forceTarget(listener);
    const bool force = offer != nullptr && offer->kind() == StopTarget::Kind::composeProject;
    const auto count = static_cast<int>(force ? offer->containers().size() : listener.container->composeMembers.size());
    const QString project = visible(listener.container->container.compose->project).replace(u'&', u"&&"_s);
    menu->addSeparator();
    QAction* stop = menu->addAction(
        force ? QCoreApplication::translate("vantu::PopoverView", "Force Stop compose project %1 (%n containers)",
                                            nullptr, count)
                    .arg(project)
              : QCoreApplication::translate("vantu::PopoverView", "Stop compose project %1 (%n containers)", nullptr,
                                            count)
                    .arg(project));
    stop->setObjectName(u"stopComposeProject"_s);
    stop->setEnabled(!store.isStopping(listener));
    QObject::connect(stop, &QAction::triggered, menu, [&store, listener] { store.stopComposeProject(listener); });
}

}  // namespace

QMenu* build(PortStore& store, const Listener& listener, QWidget* parent) {
    auto* menu = new QMenu(parent);
    QAction* open = menu->addAction(QCoreApplication::translate("vantu::PopoverView", "Open in Browser"));
    open->setObjectName(u"openInBrowser"_s);
    QObject::connect(open, &QAction::triggered, menu, [&store, listener] { store.openInBrowser(listener); });
    QAction* copy = menu->addAction(QCoreApplication::translate("vantu::PopoverView", "Copy Address"));
    copy->setObjectName(u"copyAddress"_s);
    QObject::connect(copy, &QAction::triggered, menu, [&store, listener] { store.copyAddress(listener); });
    QAction* show = menu->addAction(QCoreApplication::translate("vantu::PopoverView", "Show Project Folder"));
    show->setObjectName(u"showProjectFolder"_s);
    show->setEnabled(PortStore::folderOf(listener).has_value());
    QObject::connect(show, &QAction::triggered, menu, [&store, listener] { store.showProjectFolder(listener); });
    menu->addSeparator();
    QAction* choose = menu->addAction(QCoreApplication::translate("vantu::PopoverView", "Choose Project Folder\u2026"));
    choose->setObjectName(u"chooseProjectFolder"_s);
    choose->setEnabled(listener.projectOverrideKey().has_value());
    QObject::connect(choose, &QAction::triggered, menu, [&store, listener] { store.chooseProjectFolder(listener); });
    if (listener.project && listener.project->isUserSelected) {
        QAction* reset = menu->addAction(QCoreApplication::translate("vantu::PopoverView", "Use Detected Project"));
        QObject::connect(reset, &QAction::triggered, menu, [&store, listener] { store.resetProjectFolder(listener); });
    }
    addGroupActions(store, menu, listener);
    addComposeActions(store, menu, listener);
    return menu;
}

}  // namespace vantu::RowMenu
