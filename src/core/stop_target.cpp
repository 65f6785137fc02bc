#include "core/stop_target.h"

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

QString StopTarget::description() const {
    return kind_ == Kind::processGroup && group_ ? group_->description() : name_;
}

bool StopTarget::covers(const Listener& listener) const {
    return listener.identity && processes_.contains(*listener.identity);
}

bool StopTarget::overlaps(const StopTarget& other) const {
    return std::any_of(processes_.cbegin(), processes_.cend(),
                       [&other](const ProcessIdentity& process) { return other.processes_.contains(process); });
}

std::optional<StopTarget> StopTarget::remainder(const QList<ProcessIdentity>& survivors) const {
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
