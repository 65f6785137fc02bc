#include "service/snapshot_assembly.h"

#include "core/container_rows.h"
#include "core/listener_facts.h"
#include "project/project_resolver.h"
#include "rules/development_port_filter.h"

#include <future>

namespace vantu::SnapshotAssembly {

std::variant<ListenerInventory, ServiceError> assemble(std::variant<ListenerInventory, ServiceError> found,
                                                       const DiscoverySettings& settings,
                                                       const ProjectOverrides& overrides, const Enricher& enrich,
                                                       const QList<EngineContainers>& engines) {
    if (auto* error = std::get_if<ServiceError>(&found)) {
        return std::move(*error);
    }
    ListenerInventory inventory = std::get<ListenerInventory>(std::move(found));
    // Once per process, here off the main thread, so that deciding what is shown is pure; the
    // engines' helpers are known by their files.
    ListenerFacts::read(inventory.listeners, &DevelopmentPortFilter::isDevelopmentRuntime);
    ContainerRows::fold(inventory, engines);
    if (inventory.listeners.isEmpty()) {
        return inventory;
    }
    inventory.listeners = enrich ? enrich(std::move(inventory.listeners), overrides, settings)
                                 : ProjectResolver::enrich(std::move(inventory.listeners), overrides, settings);
    return inventory;
}

QList<Listener> withGroups(QList<Listener> listeners, const std::function<bool(const Listener&)>& wanted) {
    QList<ProcessIdentity> processes;
    for (const Listener& listener : std::as_const(listeners)) {
        if (listener.identity && wanted(listener)) {
            processes.append(*listener.identity);
        }
    }
    const QHash<ProcessIdentity, ProcessGroup> groups = ProcessGroups::ofEach(processes);
    for (Listener& listener : listeners) {
        const auto found = listener.identity ? groups.constFind(*listener.identity) : groups.cend();
        if (found != groups.cend()) {
            listener.group = *found;
        }
    }
    return listeners;
}

QList<Listener> withResidentMemory(QList<Listener> listeners, const std::function<bool(const Listener&)>& wanted) {
    QHash<ProcessIdentity, std::optional<uint64_t>> known;
    for (Listener& listener : listeners) {
        if (!listener.identity || !wanted(listener)) {
            continue;
        }
        const ProcessIdentity& identity = *listener.identity;
        auto found = known.constFind(identity);
        if (found == known.cend()) {
            const platform::ProcessFacts facts{identity.userID, identity.startSeconds, identity.startMicroseconds};
            found = known.insert(identity, platform::residentBytes(listener.pid, facts));
        }
        listener.residentBytes = *found;
    }
    return listeners;
}

std::variant<ListenerInventory, ServiceError> take(const ListenerEnumerator& enumerator,
                                                   const DiscoverySettings& settings, const ProjectOverrides& overrides,
                                                   const ContainerScan* containers) {
    if (containers == nullptr) {
        return assemble(enumerator.enumerate(), settings, overrides);
    }
    auto engines = std::async(std::launch::async, [containers] { return containers->scan().engines; });
    auto found = enumerator.enumerate();
    return assemble(std::move(found), settings, overrides, {}, engines.get());
}

}  // namespace vantu::SnapshotAssembly
