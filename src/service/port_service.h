#pragma once

#include "core/container_scan.h"
#include "core/listener.h"
#include "core/listener_enumerator.h"
#include "core/port_service_error.h"
#include "core/process_group.h"
#include "core/process_identity.h"
#include "core/stop_plan.h"
#include "rules/discovery_settings.h"

#include <QFuture>
#include <QList>
#include <QMap>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>
#include <variant>

namespace vantu {

// Every listening socket with its project, or why the scan failed.
using SnapshotResult = std::variant<QList<Listener>, ServiceError>;

// Scans and stops, each on a background thread; the caller awaits the future on the main
// thread. Holds no state between calls. Virtual so tests can decide when and how a scan or a
// stop ends.
class PortService {
public:
    // The kernel's listing, and the user's container engines.
    PortService() : containers_(std::make_shared<const ContainerScan>()) {}
    // Only what `enumerator` finds, and the containers of `containers` when given.
    explicit PortService(ListenerEnumerator enumerator, std::shared_ptr<const ContainerScan> containers = nullptr)
        : enumerator_(std::move(enumerator)), containers_(std::move(containers)) {}
    virtual ~PortService() = default;
    PortService(const PortService&) = default;
    PortService& operator=(const PortService&) = default;

    // Find what listens, then identify projects. Every listening socket of the listing is returned,
    // sorted by port then pid; which of them are dev servers is the caller's decision. The
    // arguments are copied: later changes do not affect a running snapshot.
    [[nodiscard]] virtual QFuture<SnapshotResult> snapshot(const DiscoverySettings& settings,
                                                           const ProjectOverrides& overrides = {}) const;

    // Asks the target to stop (see StopPlan::send): what was asked of whom, or why nothing was.
    [[nodiscard]] virtual QFuture<StopSendResult> send(const StopTarget& target, bool force) const;

    // A fingerprint of the listening sockets that changes whenever one opens or closes, cheap
    // enough to ask every second or two; nullopt where it cannot be had cheaply.
    [[nodiscard]] virtual QFuture<std::optional<uint64_t>> socketSignature() const;

    // After a stop was sent: waits up to `limit` for its processes to end, returning as soon as
    // they have, then tells what became of its `ports` (see StopPlan::awaitOutcome).
    [[nodiscard]] virtual QFuture<StopAftermath> awaitOutcome(const StopSent& sent, const QList<uint16_t>& ports,
                                                              std::chrono::nanoseconds limit) const;

    // The address to open the listener's server at (see ServerUrls::of); the probe it takes runs
    // on a background thread.
    [[nodiscard]] virtual QFuture<QString> url(const Listener& listener) const;

    // Asks the desktop's file manager to show the folder: nullopt once it has, otherwise why not.
    [[nodiscard]] virtual QFuture<std::optional<QString>> showFolder(const QString& folder) const;

private:
    ListenerEnumerator enumerator_;
    // Shared by copies: an engine that failed is left alone for a while by all of them.
    std::shared_ptr<const ContainerScan> containers_;
};

}  // namespace vantu
