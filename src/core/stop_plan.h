#pragma once

#include "core/listener_enumerator.h"
#include "core/port_release.h"
#include "core/port_service_error.h"
#include "core/stop_target.h"

#include <QList>
#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace vantu {

// What the first step of a stop did: the target as it was asked to stop (a group as it was
// when it was signalled), and who started its processes, since any of them may start one again.
struct StopSent {
    StopTarget target;
    std::vector<Supervisor> supervisors;
};

// What was asked of whom, or why nothing was.
using StopSendResult = std::variant<StopSent, PortServiceError>;

// What followed a stop that was sent.
struct StopAftermath {
    // Every process waited for ended within the wait.
    bool exited = false;
    // Those that had not.
    QList<ProcessIdentity> stillRunning;
    // For containers: the ids of those still running after the wait.
    QStringList containersRunning;
    // The ports the target let go of, and who holds each now (free when nobody does).
    QList<PortVerdict> verdicts;
    // The ports a process that outlived the wait still holds.
    QList<uint16_t> stillHeld;
    // One sentence per port taken again at once after the target ended: who took it.
    std::optional<QString> takenAgain;
    // Why the ports could not be looked at.
    std::optional<ServiceError> lookFailed;

    friend bool operator==(const StopAftermath&, const StopAftermath&) = default;
};

// The one way anything is stopped, whatever the target: ask, wait, then tell what became of
// its ports. Blocks on system calls and sleeps: run it off the main thread.
namespace StopPlan {

// How long a port is watched once something that started the target has started a process
// again: a server brought back by a loop takes its runtime's start-up to listen (npm alone
// takes near 3 s on a slow machine).
inline constexpr std::chrono::milliseconds kRestartWatch{6000};

// Asks the target to stop: SIGTERM to a process, Ctrl+C's SIGINT to a group, a stop job to a
// unit's manager; SIGKILL when `force`. Every process is proven to be the one discovered before
// its signal.
StopSendResult send(const StopTarget& target, bool force);

// Waits up to `limit` for the target's processes to end, returning as soon as they have; then
// says who holds each of `ports`, watching all of them up to `respawnWindow` longer when
// something that started the target has just started another process (a server coming back).
StopAftermath awaitOutcome(const ListenerEnumerator& enumerator, const StopSent& sent, const QList<uint16_t>& ports,
                           std::chrono::nanoseconds limit, std::chrono::milliseconds respawnWindow);

}  // namespace StopPlan
}  // namespace vantu
