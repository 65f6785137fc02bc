#pragma once

#include "core/container_scan.h"
#include "core/listener.h"
#include "core/listener_enumerator.h"
#include "core/port_service_error.h"
#include "rules/discovery_settings.h"

#include <QList>
#include <QMap>
#include <QString>

#include <functional>
#include <variant>

namespace vantu {

// The steps of a snapshot: find what listens, then identify projects.
namespace SnapshotAssembly {

using Enricher = std::function<QList<Listener>(QList<Listener>, const ProjectOverrides&, const DiscoverySettings&)>;

// The enumeration's error unchanged, or its inventory with what is known of each listener's
// process and its project, and the rows of the `engines`' containers folded in (the resolver is
// not consulted when nothing listens). `enrich` is the project resolver unless a test watches
// the hand-off.
std::variant<ListenerInventory, ServiceError> assemble(std::variant<ListenerInventory, ServiceError> found,
                                                       const DiscoverySettings& settings,
                                                       const ProjectOverrides& overrides, const Enricher& enrich = {},
                                                       const QList<EngineContainers>& engines = {});

// Gives each listener that `wanted` picks its process group, every process read once. Not part
// of `take`: a listing that shows no groups should not pay for reading them.
QList<Listener> withGroups(QList<Listener> listeners, const std::function<bool(const Listener&)>& wanted);

// Gives each listener that `wanted` picks its process's resident memory, each process read once.
QList<Listener> withResidentMemory(QList<Listener> listeners, const std::function<bool(const Listener&)>& wanted);

// A whole snapshot in the calling thread; with `containers`, the engines are asked at the same
// time as the kernel, and the snapshot takes as long as the slower of the two.
std::variant<ListenerInventory, ServiceError> take(const ListenerEnumerator& enumerator,
                                                   const DiscoverySettings& settings, const ProjectOverrides& overrides,
                                                   const ContainerScan* containers = nullptr);

}  // namespace SnapshotAssembly
}  // namespace vantu
