#pragma once

#include "service/port_service.h"
#include "store/port_store.h"

#include <QFuture>
#include <QHash>
#include <QPromise>
#include <QSet>
#include <QStringList>

#include <memory>
#include <vector>

namespace vantu::test {

// A service whose scans and stops end only when the test says so, and how it says. The test
// keeps the shared record; the store owns the service.
class FakePortService : public PortService {
public:
    // No engine is followed: the machine's own would make the test depend on it.
    [[nodiscard]] std::unique_ptr<ContainerEvents> watchContainers(std::function<void()> /*changed*/) const override {
        return nullptr;
    }
    struct SnapshotRequest {
        DiscoverySettings settings;
        ProjectOverrides overrides;
        std::shared_ptr<QPromise<SnapshotResult>> promise;
    };
    // A stop of one process, or of a group: the stop plan's first step, which the test ends.
    struct StopRequest {
        ProcessIdentity identity;
        bool force = false;
        std::shared_ptr<QPromise<StopSendResult>> promise;
        StopTarget target;
    };
    struct GroupStopRequest {
        ProcessGroup group;
        bool force = false;
        std::shared_ptr<QPromise<StopSendResult>> promise;
    };
    // The members signalled, or why none were.
    using GroupStopResult = std::variant<ProcessGroup, PortServiceError>;

    struct Record {
        std::vector<SnapshotRequest> snapshots;
        std::vector<StopRequest> stops;
        std::vector<GroupStopRequest> groupStops;
        // The units asked to stop, and what the manager answers.
        QStringList unitStops;
        std::optional<QString> unitStopFailure;
        // How each wait after a delivered signal ends: the processes in `exited` end at once,
        // the others still run when the wait runs out (on a precise timer, like the real wait).
        QSet<ProcessIdentity> exited;
        std::optional<QString> takenAgain;
        // What the socket fingerprint answers, and how often it was asked.
        std::optional<uint64_t> socketSignature;
        int socketChecks = 0;
        // Set: the next look waits for the test to answer it through this promise.
        std::shared_ptr<QPromise<std::optional<uint64_t>>> heldSocketCheck;
        // The ports each wait was asked about.
        std::vector<QList<uint16_t>> exitWaitPorts;
        // "snapshot" and "stop" in the order the requests arrived; tests may add their own
        // entries to see what happened in between.
        QStringList events;

        void finishSnapshot(size_t index, const QList<Listener>& listeners);
        void failSnapshot(size_t index, const ServiceError& error);
        void finishStop(size_t index);
        void failStop(size_t index, const PortServiceError& error);
        // Ends a group stop: the members signalled, or why none were.
        void finishGroupStop(size_t index, const GroupStopResult& result);
        // Ends the scan with an exception instead of a result.
        void throwFromSnapshot(size_t index);
        // Ends every request still open as abandoned work, the way a thread pool does.
        void cancelOpenRequests();
    };

    explicit FakePortService(std::shared_ptr<Record> record) : record_(std::move(record)) {}

    [[nodiscard]] QFuture<SnapshotResult> snapshot(const DiscoverySettings& settings,
                                                   const ProjectOverrides& overrides) const override;
    // Processes and groups wait for the test; a unit's manager answers at once with
    // `unitStopFailure`.
    [[nodiscard]] QFuture<StopSendResult> send(const StopTarget& target, bool force) const override;
    [[nodiscard]] QFuture<std::optional<uint64_t>> socketSignature() const override;
    [[nodiscard]] QFuture<StopAftermath> awaitOutcome(const StopSent& sent, const QList<uint16_t>& ports,
                                                      std::chrono::nanoseconds limit) const override;

private:
    std::shared_ptr<Record> record_;
};

// The store's row states, by the processes of the rows: what the tests ask about.
QSet<ProcessIdentity> stoppingProcesses(const PortStore& store);
QSet<ProcessIdentity> forcedProcesses(const PortStore& store);
// The groups whose forced stop a row offers, by the row's process.
QHash<ProcessIdentity, ProcessGroup> groupsToForce(const PortStore& store);

}  // namespace vantu::test
