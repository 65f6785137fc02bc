#pragma once

#include "core/engine_endpoints.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <memory>

namespace vantu {

// Follows the engines' event streams while the list is on screen, so that a container that
// starts or ends shows at once rather than with the next look at the sockets (with the engine's
// port proxy off, no socket of the host changes at all). Each engine's stream runs on a thread
// of its own and is opened again after it breaks, waiting longer each time. Nothing is kept
// open once the watch is destroyed; destroying it never waits for the streams to end.
class ContainerEvents {
public:
    // `changed` is called on the streams' threads whenever a container started or ended, never
    // once the destructor has returned.
    ContainerEvents(const QList<EngineEndpoint>& endpoints, std::function<void()> changed);
    ~ContainerEvents();
    ContainerEvents(const ContainerEvents&) = delete;
    ContainerEvents& operator=(const ContainerEvents&) = delete;

    // Whether one line of an event stream tells of a container that started or ended. Pure.
    static bool isListChange(const QByteArray& line);

    // What the streams' threads share with the watch, which may go before they do.
    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
};

}  // namespace vantu
