#include "service/port_service.h"

#include "core/process_stopper.h"
#include "service/snapshot_assembly.h"

#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

namespace vantu {

QFuture<SnapshotResult> PortService::snapshot(const DiscoverySettings& settings,
                                              const ProjectOverrides& overrides) const {
    // The task owns copies of everything it uses: the caller may change its settings or go
    // away while the scan runs.
    return QtConcurrent::run(QThreadPool::globalInstance(),
                             [enumerator = enumerator_, settings, overrides]() -> SnapshotResult {
                                 auto taken = SnapshotAssembly::take(enumerator, settings, overrides);
                                 if (auto* error = std::get_if<ServiceError>(&taken)) {
                                     return std::move(*error);
                                 }
                                 return std::get<ListenerInventory>(std::move(taken)).listeners;
                             });
}

QFuture<StopResult> PortService::stop(const ProcessIdentity& identity, bool force) const {
    return QtConcurrent::run(QThreadPool::globalInstance(),
                             [identity, force]() -> StopResult { return ProcessStopper::stop(identity, force); });
}

}  // namespace vantu
