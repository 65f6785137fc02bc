#include "core/stop_target.h"

#include <QCoreApplication>

#include <algorithm>

namespace vantu {

StopTarget::StopTarget(Kind kind, QList<ProcessIdentity> processes, std::optional<ProcessGroup> group, QString name)
    : kind_(kind), processes_(std::move(processes)), group_(std::move(group)), name_(std::move(name)) {}

StopTarget StopTarget::process(const ProcessIdentity& identity, QString name) {
    return {Kind::process, QList<ProcessIdentity>(1, identity), std::nullopt, std::move(name)};
}

StopTarget StopTarget::processGroup(ProcessGroup group) {
    QList<ProcessIdentity> members = group.members;
    return {Kind::processGroup, std::move(members), std::move(group), QString()};
}

StopTarget StopTarget::userUnit(ProcessGroup group) {
    QList<ProcessIdentity> members = group.members;
    QString unit = group.unit.value_or(QString());
    return {Kind::userUnit, std::move(members), std::move(group), std::move(unit)};
}

StopTarget StopTarget::container(EngineContainer container) {
    StopTarget target(Kind::container, {}, std::nullopt, container.name);
    target.containers_ = {std::move(container)};
    return target;
}

StopTarget StopTarget::composeProject(QString project, QList<EngineContainer> containers) {
    StopTarget target(Kind::composeProject, {}, std::nullopt, std::move(project));
    target.containers_ = std::move(containers);
    return target;
}

QString StopTarget::description() const {
    if (kind_ == Kind::composeProject) {
        return QCoreApplication::translate("StopTarget", "compose project %1").arg(name_);
    }
    return kind_ == Kind::processGroup && group_ ? group_->description() : name_;
}

bool StopTarget::stopsContainer(const QString& id) const {
    return std::any_of(containers_.cbegin(), containers_.cend(),
                       [&id](const EngineContainer& container) { return container.id == id; });
}

bool StopTarget::covers(const Listener& listener) const {
    if (listener.container) {
        return stopsContainer(listener.container->container.id);
    }
    return listener.identity && processes_.contains(*listener.identity);
}

bool StopTarget::overlaps(const StopTarget& other) const {
    return std::any_of(processes_.cbegin(), processes_.cend(),
                       [&other](const ProcessIdentity& process) { return other.processes_.contains(process); }) ||
           std::any_of(containers_.cbegin(), containers_.cend(),
                       [&other](const EngineContainer& container) { return other.stopsContainer(container.id); });
}

std::optional<StopTarget> StopTarget::remainder(const QList<ProcessIdentity>& survivors,
                                                const QStringList& runningContainers) const {
    if (isContainers()) {
        StopTarget rest = *this;
        rest.containers_.removeIf([&runningContainers](const EngineContainer& container) {
            return !runningContainers.contains(container.id);
        });
        return rest.containers_.isEmpty() ? std::nullopt : std::optional(rest);
    }
    if (kind_ == Kind::userUnit || survivors.isEmpty()) {
        return std::nullopt;
    }
    StopTarget rest = *this;
    rest.processes_ = survivors;
    if (rest.group_) {
        rest.group_->members = survivors;
    }
    return rest;
}

}  // namespace vantu
