#include "core/stop_plan.h"

#include "core/container_stop.h"
#include "core/engine_helpers.h"
#include "core/process_stopper.h"
#include "platform/log.h"
#include "platform/process.h"
#include "platform/user_units.h"

#include <algorithm>
#include <csignal>
#include <future>

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace vantu::StopPlan {
namespace {

// What may start the processes again from outside them: one that is itself being stopped
// cannot. Read before the signal, while the parents are still known.
std::vector<Supervisor> supervisorsOf(const QList<ProcessIdentity>& processes) {
    std::vector<Supervisor> supervisors;
    for (const ProcessIdentity& process : processes) {
        for (Supervisor& supervisor : PortRelease::supervisorsOf(process)) {
            const bool known = processes.contains(supervisor.identity) ||
                               std::any_of(supervisors.cbegin(), supervisors.cend(), [&](const Supervisor& other) {
                                   return other.identity == supervisor.identity;
                               });
            if (!known) {
                supervisors.push_back(std::move(supervisor));
            }
        }
    }
    return supervisors;
}

StopSendResult sendToProcess(const StopTarget& target, bool force) {
    const ProcessIdentity& process = target.processes().constFirst();
    if (const auto helper = EngineHelpers::helperName(platform::commandName(process.pid).value_or(QString()),
                                                      platform::executablePath(process.pid))) {
        return PortServiceError::refused(EngineHelpers::refusal(*helper));
    }
    std::vector<Supervisor> supervisors = supervisorsOf(target.processes());
    if (auto failed = ProcessStopper::stop(process, force)) {
        return std::move(*failed);
    }
    return StopSent{target, std::move(supervisors)};
}

StopSendResult sendToGroup(const StopTarget& target, bool force) {
    // The group as it is now, read through the members that still run: the listener may be the
    // one that ended, and members may have come and gone since the row was read.
    auto group = ProcessGroups::current(*target.group());
    if (!group) {
        return PortServiceError::processExited();
    }
    if (group->refusal) {
        return PortServiceError::refused(*group->refusal);
    }
    std::vector<Supervisor> supervisors = supervisorsOf(group->members);
    if (auto failed = ProcessGroups::signal(*group, force ? SIGKILL : SIGINT)) {
        return std::move(*failed);
    }
    return StopSent{StopTarget::processGroup(std::move(*group)), std::move(supervisors)};
}

StopSendResult sendToUnit(const StopTarget& target) {
    // The manager would start a signalled server again; it is asked to stop the unit instead, and
    // ends its processes in its own way and time.
    if (auto failed = platform::UserUnits::stop(target.description())) {
        return PortServiceError::refused(*failed);
    }
    return StopSent{target, {}};
}

StopSendResult sendToContainers(const StopTarget& target, bool force) {
    // All at once: each engine stop may take up to its wait for an answer.
    std::vector<std::future<std::optional<PortServiceError>>> asked;
    for (const EngineContainer& container : target.containers()) {
        asked.push_back(std::async(std::launch::async, ContainerStop::send, container, force));
    }
    std::optional<PortServiceError> refusal;
    bool anyAsked = false;
    for (auto& answer : asked) {
        const std::optional<PortServiceError> failed = answer.get();
        if (!failed) {
            anyAsked = true;
        } else if (failed->errorCase() != PortServiceError::Case::processExited && !refusal) {
            refusal = failed;
        }
    }
    if (refusal) {
        return std::move(*refusal);
    }
    if (!anyAsked) {
        return PortServiceError::processExited();
    }
    return StopSent{target, {}};
}

// Who holds each port once the containers that published it have ended: their engine's helper
// letting go at the same moment holds it for no one. A container its engine started again (a
// restart policy) is named as what took the port.
void settleContainerPorts(const ListenerEnumerator& enumerator, const StopSent& sent, const QList<uint16_t>& ports,
                          StopAftermath& aftermath, QStringList& taken) {
    for (const EngineContainer& container : sent.target.containers()) {
        if (!aftermath.containersRunning.contains(container.id) && ContainerStop::isRunning(container) == true) {
            taken.append(QCoreApplication::translate("StopPlan", "%1 started again: its restart policy brings it back.")
                             .arg(container.name));
        }
    }
    for (const uint16_t port : ports) {
        auto holders = PortRelease::holdersOf(enumerator, port);
        if (const auto* error = std::get_if<ServiceError>(&holders)) {
            aftermath.lookFailed = *error;
            continue;
        }
        PortVerdict verdict{port, std::get<QList<PortHolder>>(std::move(holders))};
        verdict.holders.removeIf([](const PortHolder& holder) {
            return !holder.foreign && EngineHelpers::helperName(holder.command, std::nullopt).has_value();
        });
        if (!verdict.isFree() && taken.isEmpty()) {
            taken.append(verdict.message());
        }
        aftermath.verdicts.append(verdict);
    }
}

}  // namespace

StopSendResult send(const StopTarget& target, bool force) {
    StopSendResult result = target.isContainers()                             ? sendToContainers(target, force)
                            : target.kind() == StopTarget::Kind::process      ? sendToProcess(target, force)
                            : target.kind() == StopTarget::Kind::processGroup ? sendToGroup(target, force)
                                                                              : sendToUnit(target);
    if (const auto* failure = std::get_if<PortServiceError>(&result)) {
        if (failure->errorCase() == PortServiceError::Case::processExited) {
            qCDebug(lcStop) << "already ended:" << target.description();
        } else {
            qCWarning(lcStop) << "not stopped:" << target.description() << "-" << failure->errorDescription();
        }
    } else {
        qCDebug(lcStop) << (force ? "forced:" : "asked to stop:") << target.description();
    }
    return result;
}

StopAftermath awaitOutcome(const ListenerEnumerator& enumerator, const StopSent& sent, const QList<uint16_t>& ports,
                           std::chrono::nanoseconds limit, std::chrono::milliseconds respawnWindow) {
    // One deadline for all: each wait gets what the ones before it left.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    StopAftermath aftermath;
    if (sent.target.isContainers()) {
        for (const EngineContainer& container : sent.target.containers()) {
            const auto left = std::max(std::chrono::nanoseconds(0), deadline - std::chrono::steady_clock::now());
            if (!ContainerStop::awaitEnd(container, std::chrono::ceil<std::chrono::milliseconds>(left))) {
                aftermath.containersRunning.append(container.id);
            }
        }
        aftermath.exited = aftermath.containersRunning.isEmpty();
        QStringList taken;
        if (aftermath.exited) {
            settleContainerPorts(enumerator, sent, ports, aftermath, taken);
        } else {
            aftermath.stillHeld = ports;
        }
        if (!taken.isEmpty()) {
            aftermath.takenAgain = taken.join(u' ');
        }
        return aftermath;
    }
    for (const ProcessIdentity& process : sent.target.processes()) {
        const auto left = std::max(std::chrono::nanoseconds(0), deadline - std::chrono::steady_clock::now());
        if (!ProcessStopper::awaitExit(process, std::chrono::ceil<std::chrono::milliseconds>(left))) {
            aftermath.stillRunning.append(process);
        }
    }
    aftermath.exited = aftermath.stillRunning.isEmpty();
    // One watch for all ports, from the moment the target ended.
    const auto watchUntil = std::chrono::steady_clock::now() + respawnWindow;
    QStringList taken;
    for (const uint16_t port : ports) {
        if (!aftermath.exited) {
            const auto held = enumerator.stillListening(port, aftermath.stillRunning);
            if (const auto* error = std::get_if<ServiceError>(&held)) {
                aftermath.lookFailed = *error;
                continue;
            }
            if (std::get<bool>(held)) {
                aftermath.stillHeld.append(port);
                continue;
            }
        }
        auto verdict = PortRelease::settle(enumerator, port, sent.supervisors, watchUntil);
        if (const auto* error = std::get_if<ServiceError>(&verdict)) {
            aftermath.lookFailed = *error;
            continue;
        }
        const auto& settled = std::get<PortVerdict>(verdict);
        if (!settled.isFree()) {
            taken.append(settled.message());
        }
        aftermath.verdicts.append(settled);
    }
    if (!taken.isEmpty()) {
        aftermath.takenAgain = taken.join(u' ');
    }
    if (!aftermath.exited) {
        qCDebug(lcStop) << sent.target.description() << ":" << aftermath.stillRunning.size()
                        << "processes outlived the wait";
    }
    return aftermath;
}

}  // namespace vantu::StopPlan
