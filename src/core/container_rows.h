#pragma once

#include "core/container_scan.h"
#include "core/listener.h"
#include "core/listener_enumerator.h"

#include <QList>

namespace vantu {

// Puts what the user's container engines run into the listing of what listens.
namespace ContainerRows {

// Adds a row for every published TCP port of a running container, one per port even when it is
// published on both address families. The engine's helper that holds such a port on the host
// (docker-proxy, rootlessport, …), and another user's socket on it (root's docker-proxy), are
// folded into the container's row: the container is what the port is for. Keeps the listing
// sorted by port. Pure.
void fold(ListenerInventory& inventory, const QList<EngineContainers>& engines);

// Whether the listener's process is a container engine's helper: never a row of its own, never
// stopped as a process.
bool isEngineHelper(const Listener& listener);

}  // namespace ContainerRows
}  // namespace vantu
