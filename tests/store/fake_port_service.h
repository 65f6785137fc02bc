#pragma once

#include "service/port_service.h"

#include <QFuture>
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
    struct SnapshotRequest {
        DiscoverySettings settings;
        ProjectOverrides overrides;
        std::shared_ptr<QPromise<SnapshotResult>> promise;
    };
    struct StopRequest {
        ProcessIdentity identity;
        bool force = false;
        std::shared_ptr<QPromise<StopResult>> promise;
    };

    struct GroupStopRequest {
        ProcessGroup group;
        bool force = false;
        std::shared_ptr<QPromise<GroupStopResult>> promise;
    };

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
        // The ports each wait was asked about.
        std::vector<QList<uint16_t>> exitWaitPorts;
        // "snapshot" and "stop" in the order the requests arrived; tests may add their own
        // entries to see what happened in between.
        QStringList events;

        void finishSnapshot(size_t index, const QList<Listener>& listeners);
        void failSnapshot(size_t index, const ServiceError& error);
        void finishStop(size_t index);
        void failStop(size_t index, const PortServiceError& error);
        // Ends a session stop: the members signalled, or why none were.
        void finishGroupStop(size_t index, const GroupStopResult& result);
        // Ends the scan with an exception instead of a result.
        void throwFromSnapshot(size_t index);
        // Ends every request still open as abandoned work, the way a thread pool does.
        void cancelOpenRequests();
    };

    explicit FakePortService(std::shared_ptr<Record> record) : record_(std::move(record)) {}

    [[nodiscard]] QFuture<SnapshotResult> snapshot(const DiscoverySettings& settings,
                                                   const ProjectOverrides& overrides) const override;
    [[nodiscard]] QFuture<StopResult> stop(const ProcessIdentity& identity, bool force) const override;
    [[nodiscard]] QFuture<GroupStopResult> stopGroup(const ProcessGroup& session, bool force) const override;
    [[nodiscard]] QFuture<std::optional<QString>> stopUnit(const QString& unit) const override;
    [[nodiscard]] QFuture<std::optional<uint64_t>> socketSignature() const override;
    [[nodiscard]] QFuture<StopAftermath> awaitExit(const QList<ProcessIdentity>& processes,
                                                   const QList<uint16_t>& ports,
                                                   std::chrono::nanoseconds limit) const override;

private:
    std::shared_ptr<Record> record_;
};

}  // namespace vantu::test
