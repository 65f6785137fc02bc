#include "service/port_service.h"

#include "core/port_release.h"
#include "core/process_stopper.h"
#include "platform/user_units.h"
#include "rules/development_port_filter.h"
#include "service/snapshot_assembly.h"

#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <csignal>

namespace vantu {

QFuture<SnapshotResult> PortService::snapshot(const DiscoverySettings& settings,
                                              const ProjectOverrides& overrides) const {
    // The task owns copies of everything it uses: the caller may change its settings or go
    // away while the scan runs.
    return QtConcurrent::run(
        QThreadPool::globalInstance(), [enumerator = enumerator_, settings, overrides]() -> SnapshotResult {
            auto taken = SnapshotAssembly::take(enumerator, settings, overrides);
            if (auto* error = std::get_if<ServiceError>(&taken)) {
                return std::move(*error);
            }
            // The groups of the servers that will be shown, for their rows.
            return SnapshotAssembly::withGroups(
                std::get<ListenerInventory>(std::move(taken)).listeners,
                [&settings](const Listener& listener) { return DevelopmentPortFilter::includes(listener, settings); });
        });
}

QFuture<StopResult> PortService::stop(const ProcessIdentity& identity, bool force) const {
    return QtConcurrent::run(QThreadPool::globalInstance(),
                             [identity, force]() -> StopResult { return ProcessStopper::stop(identity, force); });
}

QFuture<GroupStopResult> PortService::stopGroup(const ProcessGroup& group, bool force) const {
    return QtConcurrent::run(QThreadPool::globalInstance(), [group, force]() -> GroupStopResult {
        return ProcessGroups::stop(group, force ? SIGKILL : SIGINT);
    });
}

QFuture<std::optional<QString>> PortService::stopUnit(const QString& unit) const {
    return QtConcurrent::run(QThreadPool::globalInstance(), [unit] { return platform::UserUnits::stop(unit); });
}

QFuture<std::optional<uint64_t>> PortService::socketSignature() const {
    return QtConcurrent::run(QThreadPool::globalInstance(),
                             [enumerator = enumerator_] { return enumerator.socketSignature(); });
}

QFuture<StopAftermath> PortService::awaitExit(const QList<ProcessIdentity>& processes, const QList<uint16_t>& ports,
                                              std::chrono::nanoseconds limit) const {
    // Waits get threads of their own: they sleep for most of their time, and must not hold up
    // a refresh on a machine whose shared pool has only a thread or two.
    static QThreadPool* const waits = [] {
        auto* pool = new QThreadPool();
        pool->setMaxThreadCount(16);
        return pool;
    }();
    return QtConcurrent::run(waits, [enumerator = enumerator_, processes, ports, limit]() -> StopAftermath {
        // How long a server that is coming back may take to listen again.
        constexpr std::chrono::milliseconds kRespawnWindow{1500};
        std::vector<Supervisor> supervisors;
        for (const ProcessIdentity& process : processes) {
            if (auto supervisor = PortRelease::supervisorOf(process)) {
                supervisors.push_back(std::move(*supervisor));
            }
        }
        // One deadline for all: each wait gets what the ones before it left.
        const auto deadline = std::chrono::steady_clock::now() + limit;
        StopAftermath aftermath;
        for (const ProcessIdentity& process : processes) {
            const auto left = std::max(std::chrono::nanoseconds(0), deadline - std::chrono::steady_clock::now());
            if (!ProcessStopper::awaitExit(process, std::chrono::ceil<std::chrono::milliseconds>(left))) {
                aftermath.stillRunning.append(process);
            }
        }
        aftermath.exited = aftermath.stillRunning.isEmpty();
        if (!aftermath.exited) {
            return aftermath;
        }
        QStringList taken;
        for (const uint16_t port : ports) {
            const auto verdict = PortRelease::settle(enumerator, port, supervisors, kRespawnWindow);
            if (const auto* settled = std::get_if<PortVerdict>(&verdict); settled != nullptr && !settled->isFree()) {
                taken.append(settled->message());
            }
        }
        if (!taken.isEmpty()) {
            aftermath.takenAgain = taken.join(u' ');
        }
        return aftermath;
    });
}

}  // namespace vantu
