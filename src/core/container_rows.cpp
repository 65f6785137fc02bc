#include "core/container_rows.h"

#include "core/engine_helpers.h"

#include <QSet>

#include <algorithm>

namespace vantu::ContainerRows {
namespace {

QList<EngineContainer> composeMembers(const EngineContainers& engine, const Container& container) {
    QList<EngineContainer> members;
    if (!container.compose) {
        return members;
    }
    for (const Container& other : engine.containers) {
        if (other.compose && other.compose->project == container.compose->project) {
            members.append({engine.endpoint, other.id, other.name});
        }
    }
    return members;
}

Listener rowOf(const EngineContainers& engine, const Container& container, const PublishedPort& published) {
    Listener row;
    row.port = published.hostPort;
    row.container = ListenerContainer{engine.endpoint, container, published, composeMembers(engine, container)};
    row.command = row.container->command();
    if (container.compose && !container.compose->workingDirectory.isEmpty()) {
        row.workingDirectory = container.compose->workingDirectory;
    }
    if (!published.address.isEmpty()) {
        row.addresses = {published.address};
    }
    return row;
}

}  // namespace

bool isEngineHelper(const Listener& listener) {
    return !listener.container && EngineHelpers::helperName(listener.command, listener.executablePath).has_value();
}

void fold(ListenerInventory& inventory, const QList<EngineContainers>& engines) {
    QList<Listener> rows;
    QSet<uint16_t> published;
    QSet<QString> seen;
    for (const EngineContainers& engine : engines) {
        for (const Container& container : engine.containers) {
            // The same engine may be reachable at two sockets (a context and the usual place).
            if (seen.contains(container.id)) {
                continue;
            }
            seen.insert(container.id);
            for (const PublishedPort& port : container.ports) {
                rows.append(rowOf(engine, container, port));
                published.insert(port.hostPort);
            }
        }
    }
    if (rows.isEmpty()) {
        return;
    }
    inventory.listeners.removeIf([&published](const Listener& listener) {
        return published.contains(listener.port) && isEngineHelper(listener);
    });
    inventory.foreign.removeIf([&published](const ForeignPort& foreign) { return published.contains(foreign.port); });
    inventory.listeners.append(rows);
    std::stable_sort(inventory.listeners.begin(), inventory.listeners.end(),
                     [](const Listener& a, const Listener& b) { return a.port < b.port; });
}

}  // namespace vantu::ContainerRows
