#include "service/port_service.h"

#include "platform/file_manager.h"
#include "rules/development_port_filter.h"
#include "service/server_urls.h"
#include "service/snapshot_assembly.h"

#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

namespace vantu {
QFuture<SnapshotResult> PortService::snapshot(const DiscoverySettings& settings,
                                              const ProjectOverrides& overrides) const {
    // The task owns copies of everything it uses: the caller may change its settings or go
    // away while the scan runs.
    return QtConcurrent::run(
        QThreadPool::globalInstance(),
        [enumerator = enumerator_, containers = containers_, settings, overrides]() -> SnapshotResult {
            auto taken = SnapshotAssembly::take(enumerator, settings, overrides, containers.get());
            if (auto* error = std::get_if<ServiceError>(&taken)) {
                return std::move(*error);
            }
            // The groups and memory of the servers that will be shown, for their rows.
            const auto shown = [&settings](const Listener& listener) {
                return DevelopmentPortFilter::includes(listener, settings);
            };
            return SnapshotAssembly::withResidentMemory(
                SnapshotAssembly::withGroups(std::get<ListenerInventory>(std::move(taken)).listeners, shown), shown);
        });
}

QFuture<StopSendResult> PortService::send(const StopTarget& target, bool force) const {
    return QtConcurrent::run(QThreadPool::globalInstance(),
                             [target, force]() -> StopSendResult { return StopPlan::send(target, force); });
}

QFuture<QString> PortService::url(const Listener& listener) const {
    return QtConcurrent::run(QThreadPool::globalInstance(), [listener] { return ServerUrls::of({listener}).front(); });
}

QFuture<std::optional<QString>> PortService::showFolder(const QString& folder) const {
    return QtConcurrent::run(QThreadPool::globalInstance(),
                             [folder] { return platform::FileManager::showFolder(folder); });
}

QFuture<std::optional<uint64_t>> PortService::socketSignature() const {
    return QtConcurrent::run(QThreadPool::globalInstance(),
                             [enumerator = enumerator_] { return enumerator.socketSignature(); });
}

QFuture<StopAftermath> PortService::awaitOutcome(const StopSent& sent, const QList<uint16_t>& ports,
                                                 std::chrono::nanoseconds limit) const {
    // Waits get threads of their own: they sleep for most of their time, and must not hold up
    // a refresh on a machine whose shared pool has only a thread or two.
    static QThreadPool* const waits = [] {
        auto* pool = new QThreadPool();
        pool->setMaxThreadCount(16);
        return pool;
    }();
    return QtConcurrent::run(waits, [enumerator = enumerator_, sent, ports, limit] {
        return StopPlan::awaitOutcome(enumerator, sent, ports, limit, StopPlan::kRestartWatch);
    });
}

}  // namespace vantu
