#include "service/snapshot_assembly.h"

#include "project/project_resolver.h"

namespace vantu::SnapshotAssembly {

std::variant<ListenerInventory, ServiceError> assemble(std::variant<ListenerInventory, ServiceError> found,
                                                       const DiscoverySettings& settings,
                                                       const QMap<QString, QString>& overrides,
                                                       const Enricher& enrich) {
    if (auto* error = std::get_if<ServiceError>(&found)) {
        return std::move(*error);
    }
    ListenerInventory inventory = std::get<ListenerInventory>(std::move(found));
    if (inventory.listeners.isEmpty()) {
        return inventory;
    }
    inventory.listeners = enrich ? enrich(std::move(inventory.listeners), overrides, settings)
                                 : ProjectResolver::enrich(std::move(inventory.listeners), overrides, settings);
    return inventory;
}

std::variant<ListenerInventory, ServiceError> take(const ListenerEnumerator& enumerator,
                                                   const DiscoverySettings& settings,
                                                   const QMap<QString, QString>& overrides) {
    return assemble(enumerator.enumerate(), settings, overrides);
}

}  // namespace vantu::SnapshotAssembly
