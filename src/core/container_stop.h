#pragma once

#include "core/engine_container.h"
#include "core/port_service_error.h"

#include <chrono>
#include <optional>

namespace vantu {

// Stops containers through their engine's API. Blocks on the engine's socket: run it off the
// main thread.
namespace ContainerStop {

// Asks the engine to stop the container: with its own stop signal and timeout, after which the
// engine kills it; SIGKILL at once when `force`. Returns without waiting for a stop that takes
// its time: the engine carries it out whether or not anyone waits. processExited when the
// container was no longer running; otherwise the engine's refusal in words.
std::optional<PortServiceError> send(const EngineContainer& container, bool force);

// Whether the engine still runs the container; nullopt when the engine could not tell.
std::optional<bool> isRunning(const EngineContainer& container);

// Waits up to `limit` for the container to end, returning as soon as it has; false when it
// still runs (or the engine could not tell).
bool awaitEnd(const EngineContainer& container, std::chrono::milliseconds limit);

}  // namespace ContainerStop
}  // namespace vantu
