#include "fake_port_service.h"

#include <QTimer>

#include <exception>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace vantu::test {
namespace {

template <typename T>
void settle(const std::shared_ptr<QPromise<T>>& promise, T value) {
    if (promise->future().isFinished()) {
        throw std::logic_error("request already settled");
    }
    promise->addResult(std::move(value));
    promise->finish();
}

}  // namespace

void FakePortService::Record::finishSnapshot(size_t index, const QList<Listener>& listeners) {
    settle(snapshots.at(index).promise, SnapshotResult(listeners));
}

void FakePortService::Record::failSnapshot(size_t index, const ServiceError& error) {
    settle(snapshots.at(index).promise, SnapshotResult(error));
}

void FakePortService::Record::finishStop(size_t index) {
    settle(stops.at(index).promise, StopSendResult(StopSent{stops.at(index).target, {}}));
}

void FakePortService::Record::failStop(size_t index, const PortServiceError& error) {
    settle(stops.at(index).promise, StopSendResult(error));
}

void FakePortService::Record::finishGroupStop(size_t index, const GroupStopResult& result) {
    if (const auto* group = std::get_if<ProcessGroup>(&result)) {
        settle(groupStops.at(index).promise, StopSendResult(StopSent{StopTarget::processGroup(*group), {}}));
    } else {
        settle(groupStops.at(index).promise, StopSendResult(std::get<PortServiceError>(result)));
    }
}

void FakePortService::Record::throwFromSnapshot(size_t index) {
    const auto& promise = snapshots.at(index).promise;
    promise->setException(std::make_exception_ptr(std::runtime_error("scan thread failed")));
    promise->finish();
}

void FakePortService::Record::cancelOpenRequests() {
    for (const SnapshotRequest& request : snapshots) {
        if (!request.promise->future().isFinished()) {
            request.promise->future().cancel();
            request.promise->finish();
        }
    }
    for (const StopRequest& request : stops) {
        if (!request.promise->future().isFinished()) {
            request.promise->future().cancel();
            request.promise->finish();
        }
    }
    for (const GroupStopRequest& request : groupStops) {
        if (!request.promise->future().isFinished()) {
            request.promise->future().cancel();
            request.promise->finish();
        }
    }
}

QFuture<SnapshotResult> FakePortService::snapshot(const DiscoverySettings& settings,
                                                  const ProjectOverrides& overrides) const {
    auto promise = std::make_shared<QPromise<SnapshotResult>>();
    promise->start();
    record_->snapshots.push_back({settings, overrides, promise});
    record_->events.append(u"snapshot"_s);
    return promise->future();
}

QFuture<StopSendResult> FakePortService::send(const StopTarget& target, bool force) const {
    if (target.kind() == StopTarget::Kind::userUnit) {
        const QString unit = target.description();
        record_->unitStops.append(unit);
        record_->events.append(u"unit stop "_s + unit);
        return QtFuture::makeReadyFuture(record_->unitStopFailure
                                             ? StopSendResult(PortServiceError::refused(*record_->unitStopFailure))
                                             : StopSendResult(StopSent{target, {}}));
    }
    auto promise = std::make_shared<QPromise<StopSendResult>>();
    promise->start();
    if (target.kind() == StopTarget::Kind::processGroup) {
        record_->groupStops.push_back({*target.group(), force, promise});
        record_->events.append(force ? u"group stop force"_s : u"group stop"_s);
    } else {
        record_->stops.push_back({target.processes().constFirst(), force, promise, target});
        record_->events.append(force ? u"stop force"_s : u"stop"_s);
    }
    return promise->future();
}

QFuture<std::optional<uint64_t>> FakePortService::socketSignature() const {
    ++record_->socketChecks;
    if (const auto held = std::exchange(record_->heldSocketCheck, nullptr)) {
        held->start();
        return held->future();
    }
    return QtFuture::makeReadyFuture(record_->socketSignature);
}

QFuture<StopAftermath> FakePortService::awaitOutcome(const StopSent& sent, const QList<uint16_t>& ports,
                                                     std::chrono::nanoseconds limit) const {
    const QList<ProcessIdentity>& processes = sent.target.processes();
    record_->exitWaitPorts.push_back(ports);
    auto promise = std::make_shared<QPromise<StopAftermath>>();
    promise->start();
    StopAftermath answer;
    for (const ProcessIdentity& process : processes) {
        if (!record_->exited.contains(process)) {
            answer.stillRunning.append(process);
        }
    }
    answer.exited = answer.stillRunning.isEmpty();
    if (answer.exited) {
        answer.takenAgain = record_->takenAgain;
    }
    auto* timer = new QTimer();
    timer->setTimerType(Qt::PreciseTimer);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, promise, answer] {
        timer->deleteLater();
        promise->addResult(answer);
        promise->finish();
    });
    timer->start(answer.exited ? std::chrono::milliseconds(0) : std::chrono::ceil<std::chrono::milliseconds>(limit));
    return promise->future();
}

namespace {

QSet<ProcessIdentity> processesOf(const QList<StopTarget>& targets) {
    QSet<ProcessIdentity> processes;
    for (const StopTarget& target : targets) {
        processes.unite(QSet<ProcessIdentity>(target.processes().cbegin(), target.processes().cend()));
    }
    return processes;
}

}  // namespace

QSet<ProcessIdentity> stoppingProcesses(const PortStore& store) {
    return processesOf(store.stopping());
}

QSet<ProcessIdentity> forcedProcesses(const PortStore& store) {
    return processesOf(store.forceOffers());
}

QHash<ProcessIdentity, ProcessGroup> groupsToForce(const PortStore& store) {
    QHash<ProcessIdentity, ProcessGroup> groups;
    for (const StopTarget& offer : store.forceOffers()) {
        for (const ProcessIdentity& process : offer.processes()) {
            if (offer.group()) {
                groups.insert(process, *offer.group());
            }
        }
    }
    return groups;
}

}  // namespace vantu::test
