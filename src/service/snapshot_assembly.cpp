#include "service/snapshot_assembly.h"

#include "core/listener_parser.h"
#include "project/project_resolver.h"

namespace vantu::SnapshotAssembly {

std::variant<QList<Listener>, ServiceError> assemble(std::variant<ScanOutcome, ServiceError> scanned,
                                                     const DiscoverySettings& settings,
                                                     const QMap<QString, QString>& overrides, const Enricher& enrich) {
    if (auto* error = std::get_if<ServiceError>(&scanned)) {
        return std::move(*error);
    }
    const ScanOutcome& outcome = std::get<ScanOutcome>(scanned);
    if (!outcome.output) {
        return QList<Listener>{};
    }
    QList<Listener> listeners = ListenerParser::parse(*outcome.output);
    if (enrich) {
        return enrich(std::move(listeners), overrides, settings);
    }
    return ProjectResolver::enrich(std::move(listeners), overrides, settings);
}

std::variant<QList<Listener>, ServiceError> take(ListenerScan::Running scan, const DiscoverySettings& settings,
                                                 const QMap<QString, QString>& overrides) {
    const ProjectResolver::PrefetchedProjects prefetched = ProjectResolver::prefetch();
    return assemble(scan.finish(), settings, overrides,
                    [&prefetched](QList<Listener> listeners, const QMap<QString, QString>& choices,
                                  const DiscoverySettings& rules) {
                        return ProjectResolver::enrich(std::move(listeners), choices, rules, prefetched);
                    });
}

}  // namespace vantu::SnapshotAssembly
