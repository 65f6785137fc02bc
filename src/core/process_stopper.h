#pragma once

#include "core/port_service_error.h"
#include "core/process_identity.h"

#include <chrono>
#include <optional>

namespace vantu {

// The only place that signals another process.
namespace ProcessStopper {

// Sends SIGTERM (or SIGKILL when `force`) to the process, but only after proving that it is
// the user's own and that its pid still names the very instance that was discovered.
// Blocks on system calls, so it runs off the main thread. nullopt means the signal was
// delivered; it does not wait for the process to exit.
std::optional<PortServiceError> stop(const ProcessIdentity& identity, bool force);

// The same checks, for any signal.
std::optional<PortServiceError> send(const ProcessIdentity& identity, int signalNumber);

// What Ctrl+C in a terminal means for one process: SIGINT, or SIGTERM to a process that ignores
// SIGINT (a server a script started in the background, which Ctrl+C would leave running).
std::optional<PortServiceError> interrupt(const ProcessIdentity& identity);

// Waits up to `limit` for that very process instance to end; true once it has (or when the pid
// no longer names it). Blocks.
bool awaitExit(const ProcessIdentity& identity, std::chrono::milliseconds limit);

}  // namespace ProcessStopper
}  // namespace vantu
