#pragma once

#include "core/listener.h"
#include "core/listener_enumerator.h"
#include "core/port_service_error.h"
#include "core/process_group.h"
#include "core/process_identity.h"
#include "rules/discovery_settings.h"

#include <QFuture>
#include <QList>
#include <QMap>
#include <QString>

#include <chrono>
#include <optional>
#include <variant>

namespace vantu {

// User-chosen project folders: Listener::projectOverrideKey() → folder path.
using ProjectOverrides = QMap<QString, QString>;

// Every listening socket with its project, or why the scan failed.
using SnapshotResult = std::variant<QList<Listener>, ServiceError>;

// nullopt: the signal was delivered.
using StopResult = std::optional<PortServiceError>;

// The members of a process group that were signalled, or why none were.
using GroupStopResult = std::variant<ProcessGroup, PortServiceError>;

// What followed a delivered signal.
struct StopAftermath {
    // Every process waited for ended within the wait.
    bool exited = false;
    // Those that had not.
    QList<ProcessIdentity> stillRunning;
    // When it ended and one of its ports was taken again at once: who took it, in one sentence
    // per port.
    std::optional<QString> takenAgain;

    friend bool operator==(const StopAftermath&, const StopAftermath&) = default;
};

// Scans and stops, each on a background thread; the caller awaits the future on the main
// thread. Holds no state between calls. Virtual so tests can decide when and how a scan or a
// stop ends.
class PortService {
public:
    PortService() = default;
    explicit PortService(ListenerEnumerator enumerator) : enumerator_(std::move(enumerator)) {}
    virtual ~PortService() = default;
    PortService(const PortService&) = default;
    PortService& operator=(const PortService&) = default;

    // Find what listens, then identify projects. Every listening socket of the listing is returned,
    // sorted by port then pid; which of them are dev servers is the caller's decision. The
    // arguments are copied: later changes do not affect a running snapshot.
    [[nodiscard]] virtual QFuture<SnapshotResult> snapshot(const DiscoverySettings& settings,
                                                           const ProjectOverrides& overrides = {}) const;

    // Sends SIGTERM, or SIGKILL when `force`, to that very process instance.
    [[nodiscard]] virtual QFuture<StopResult> stop(const ProcessIdentity& identity, bool force) const;

    // Stops the process group as Ctrl+C in its terminal would: SIGINT to every member, or SIGKILL
    // when `force`. The group is read anew through the members of `group` that still run, each
    // checked again before its signal.
    [[nodiscard]] virtual QFuture<GroupStopResult> stopGroup(const ProcessGroup& group, bool force) const;

    // Asks the user's service manager to stop the unit, which would otherwise start its server
    // again. nullopt once the manager has taken the job; otherwise why it did not.
    [[nodiscard]] virtual QFuture<std::optional<QString>> stopUnit(const QString& unit) const;

    // A fingerprint of the listening sockets that changes whenever one opens or closes, cheap
    // enough to ask every second or two; nullopt where it cannot be had cheaply.
    [[nodiscard]] virtual QFuture<std::optional<uint64_t>> socketSignature() const;

    // After a delivered signal: waits up to `limit` for the processes to end, returning as soon
    // as they have. Then, if they ended, asks who holds each of their `ports`, watching a little
    // longer when a program that started one has just started another (a server coming back).
    [[nodiscard]] virtual QFuture<StopAftermath> awaitExit(const QList<ProcessIdentity>& processes,
                                                           const QList<uint16_t>& ports,
                                                           std::chrono::nanoseconds limit) const;

private:
    ListenerEnumerator enumerator_;
};

}  // namespace vantu
