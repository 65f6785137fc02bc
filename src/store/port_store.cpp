#include "store/port_store.h"
#include <QCoreApplication>

#include "platform/settings_store.h"
#include "rules/development_port_filter.h"
#include "service/project_overrides.h"
#include "store/list_geometry.h"

#include <QCoroTask>
#include <QCoroTimer>
#include <QFuture>
#include <QFutureWatcher>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>

#include <coroutine>
#include <utility>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

// Awaits background work without ever throwing into the awaiting task: the result, or
// nullopt when the work was abandoned (cancelled, or it threw) instead of finishing, so that
// the task can still end its pass or its stop.
template <typename T>
class Settled {
public:
    explicit Settled(QFuture<T> future) : future_(std::move(future)) {}

    [[nodiscard]] bool await_ready() const { return future_.isFinished(); }

    void await_suspend(std::coroutine_handle<> task) {
        auto* watcher = new QFutureWatcher<T>();
        QObject::connect(watcher, &QFutureWatcherBase::finished, watcher, [watcher, task] {
            watcher->deleteLater();
            task.resume();
        });
        watcher->setFuture(future_);
    }

    std::optional<T> await_resume() {
        if (future_.isCanceled() || future_.resultCount() == 0) {
            return std::nullopt;
        }
        try {
            return future_.result();
        } catch (...) {
            return std::nullopt;
        }
    }

private:
    QFuture<T> future_;
};

QString interruptedScanMessage() {
    return QCoreApplication::translate("PortStore", "Port scan was interrupted. Try refreshing.");
}

QString interruptedStopMessage() {
    return QCoreApplication::translate("PortStore", "Couldn’t stop process: the request was interrupted.");
}

}  // namespace

PortStore::PortStore(std::unique_ptr<PortService> service, platform::SettingsStore& settings,
                     FolderChooser folderChooser, StopDelays delays, QObject* parent)
    : QObject(parent),
      service_(service ? std::move(service) : std::make_unique<PortService>()),
      settings_(settings),
      folderChooser_(std::move(folderChooser)),
      delays_(delays),
      discoverySettings_(DiscoverySettings::load(settings)),
      projectOverrides_(ProjectOverridesStorage::load(settings)) {}

PortStore::~PortStore() = default;

template <typename T>
void PortStore::publish(T& field, T value) {
    Q_EMIT willChange();
    field = std::move(value);
}

double PortStore::bodyHeight() const {
    if (showingDiscoverySettings_) {
        return ListGeometry::settingsBodyHeight;
    }
    if (listeners_.isEmpty()) {
        return ListGeometry::emptyBodyHeight;
    }
    return ListGeometry::heightFor(listeners_.size());
}

double PortStore::popoverHeight() const {
    const double height =
        bodyHeight() + ListGeometry::headerHeight + ListGeometry::footerDividerHeight + ListGeometry::footerHeight;
    return errorMessage_ ? height + ListGeometry::errorLineHeight : height;
}

void PortStore::setOnLayoutChange(std::function<void()> callback) {
    onLayoutChange_ = std::move(callback);
}

void PortStore::callOnLayoutChange() {
    // A copy, so that a callback which replaces the hook does not destroy itself mid-call.
    if (const std::function<void()> callback = onLayoutChange_) {
        callback();
    }
}

void PortStore::refresh() {
    if (refreshTaskRunning_) {
        refreshAgain_ = true;
        return;
    }
    refreshTaskRunning_ = true;
    // The body starts on the next event-loop turn, never inside this call: requests made
    // before it starts are served by its first pass. Dropped if the store is gone by then.
    QMetaObject::invokeMethod(
        this, [this] { runRefreshPasses(); }, Qt::QueuedConnection);
}

QCoro::Task<void> PortStore::runRefreshPasses() {
    const QPointer<PortStore> self(this);
    do {
        refreshAgain_ = false;
        publish(isRefreshing_, true);

        // Settings and overrides as they are when the pass starts; the service copies them.
        const std::optional<SnapshotResult> outcome =
            co_await Settled(service_->snapshot(discoverySettings_, projectOverrides_));
        if (!self) {
            co_return;
        }

        if (outcome && std::holds_alternative<QList<Listener>>(*outcome)) {
            QList<Listener> shown;
            QSet<ProcessIdentity> listed;
            for (const Listener& listener : std::get<QList<Listener>>(*outcome)) {
                // The settings may have changed while the scan ran; the current ones decide.
                if (!DevelopmentPortFilter::includes(listener, discoverySettings_)) {
                    continue;
                }
                if (listener.identity) {
                    listed.insert(*listener.identity);
                }
                shown.append(listener);
            }
            publish(listeners_, std::move(shown));
            publish(hasSnapshot_, true);
            lastScanFailed_ = false;
            // A failed save stays in sight through the refresh it asked for.
            publish(errorMessage_, std::exchange(lastingNotice_, std::nullopt));
            // A force offer outlives a refresh only while its process is still listed.
            Q_EMIT willChange();
            forceAvailable_.intersect(listed);
            groupsToForce_.removeIf([&listed](const auto& entry) { return !listed.contains(entry.key()); });
        } else {
            // Read by the views with the error line, whose change notifies them.
            lastScanFailed_ = true;
            publish(errorMessage_, std::optional<QString>(outcome ? errorDescription(std::get<ServiceError>(*outcome))
                                                                  : interruptedScanMessage()));
        }

        publish(isRefreshing_, false);
        callOnLayoutChange();
        if (!self) {
            co_return;
        }
    } while (refreshAgain_);
    refreshTaskRunning_ = false;
}

void PortStore::refreshIfSocketsChanged() {
    if (socketCheckRunning_) {
        return;
    }
    socketCheckRunning_ = true;
    runSocketCheck();
}

QCoro::Task<void> PortStore::runSocketCheck() {
    const QPointer<PortStore> self(this);
    const auto signature = co_await Settled(service_->socketSignature());
    if (!self) {
        co_return;
    }
    socketCheckRunning_ = false;
    if (!signature || !*signature) {
        co_return;
    }
    const bool changed = socketSignature_ && *socketSignature_ != **signature;
    socketSignature_ = **signature;
    if (changed) {
        refresh();
    }
}

void PortStore::toggleDiscoverySettings() {
    publish(showingDiscoverySettings_, !showingDiscoverySettings_);
    callOnLayoutChange();
}

void PortStore::updateDiscoverySettings(const DiscoverySettings& settings) {
    showThroughRefresh(settings.save(settings_));
    publish(discoverySettings_, settings);
    publish(showingDiscoverySettings_, false);
    const QPointer<PortStore> self(this);
    callOnLayoutChange();
    if (self) {
        refresh();
    }
}

void PortStore::stop(const Listener& listener) {
    if (!listener.identity) {
        return;
    }
    const ProcessIdentity identity = *listener.identity;
    if (groupToForce(listener) != nullptr) {
        stopGroup(listener);
        return;
    }
    const bool force = forceAvailable_.contains(identity);
    if (!beginStopping({identity})) {
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, identity, force] { runStop(identity, force); }, Qt::QueuedConnection);
}

QCoro::Task<void> PortStore::runStop(ProcessIdentity identity, bool force) {
    const QPointer<PortStore> self(this);
    // Not a braced list: g++ 12 cannot keep one in a coroutine's frame.
    const QList<ProcessIdentity> processes(1, identity);
    const std::optional<StopResult> outcome = co_await Settled(service_->stop(identity, force));
    if (!self) {
        co_return;
    }

    const bool delivered = outcome && !outcome->has_value();
    const bool alreadyGone =
        outcome && outcome->has_value() && (*outcome)->errorCase() == PortServiceError::Case::processExited;
    if (delivered) {
        // Give the process time to exit; the wait ends early once it has.
        const std::optional<StopAftermath> aftermath = co_await Settled(
            service_->awaitExit(processes, portsOf(processes), force ? delays_.afterForced : delays_.afterPolite));
        if (!self) {
            co_return;
        }
        // Ended, its rows go at once rather than with the refresh, and nothing is left to force.
        const bool stillRunning = !applyAftermath(processes, aftermath).isEmpty();
        if (stillRunning && !force) {
            // In one turn: the row leaves the stopping state and offers the forced kill, while
            // the refresh that decides whether the row stays is on its way.
            Q_EMIT willChange();
            forceAvailable_.insert(identity);
        }
        refresh();
    } else if (alreadyGone) {
        // It ended on its own before the stop: nothing went wrong, the list was just behind.
        dropRowsOf(identity);
        refresh();
    } else {
        publish(errorMessage_,
                std::optional<QString>(outcome ? (*outcome)->errorDescription() : interruptedStopMessage()));
        callOnLayoutChange();
        if (!self) {
            co_return;
        }
    }

    endStopping(processes);
}

void PortStore::stopGroup(const Listener& listener) {
    if (!listener.identity || !listener.canTerminate()) {
        return;
    }
    const ProcessGroup* toForce = groupToForce(listener);
    const bool force = toForce != nullptr;
    if (!force && !listener.group) {
        return;
    }
    ProcessGroup group = force ? *toForce : *listener.group;
    if (!beginStopping(group.members)) {
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, group = std::move(group), force] { runGroupStop(group, force); }, Qt::QueuedConnection);
}

const ProcessGroup* PortStore::groupToForce(const Listener& listener) const {
    if (!listener.identity || !forceAvailable_.contains(*listener.identity)) {
        return nullptr;
    }
    const auto found = groupsToForce_.constFind(*listener.identity);
    return found == groupsToForce_.cend() ? nullptr : &*found;
}

void PortStore::stopUnit(const Listener& listener) {
    if (!listener.group || !listener.group->unit || !listener.canTerminate()) {
        return;
    }
    const ProcessGroup group = *listener.group;
    if (!beginStopping(group.members)) {
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, group] { runUnitStop(*group.unit, group); }, Qt::QueuedConnection);
}

bool PortStore::beginStopping(const QList<ProcessIdentity>& processes) {
    // The only guard against two stops of one process: checked and set in one main-thread
    // turn, so no second request can slip in between.
    if (std::any_of(processes.cbegin(), processes.cend(),
                    [this](const ProcessIdentity& process) { return stopping_.contains(process); })) {
        return false;
    }
    Q_EMIT willChange();
    for (const ProcessIdentity& process : processes) {
        stopping_.insert(process);
    }
    publish(errorMessage_, std::optional<QString>());
    const QPointer<PortStore> self(this);
    callOnLayoutChange();
    return !self.isNull();
}

void PortStore::endStopping(const QList<ProcessIdentity>& processes) {
    Q_EMIT willChange();
    for (const ProcessIdentity& process : processes) {
        stopping_.remove(process);
    }
}

QList<uint16_t> PortStore::portsOf(const QList<ProcessIdentity>& processes) const {
    QList<uint16_t> ports;
    for (const Listener& listener : listeners_) {
        if (listener.identity && processes.contains(*listener.identity) && !ports.contains(listener.port)) {
            ports.append(listener.port);
        }
    }
    return ports;
}

QCoro::Task<void> PortStore::runGroupStop(ProcessGroup group, bool force) {
    const QPointer<PortStore> self(this);
    const std::optional<GroupStopResult> outcome = co_await Settled(service_->stopGroup(group, force));
    if (!self) {
        co_return;
    }
    const auto* signalled = outcome ? std::get_if<ProcessGroup>(&*outcome) : nullptr;
    const auto* failure = outcome ? std::get_if<PortServiceError>(&*outcome) : nullptr;
    for (const ProcessIdentity& member : group.members) {
        if (groupsToForce_.contains(member)) {
            Q_EMIT willChange();
            groupsToForce_.remove(member);
            forceAvailable_.remove(member);
        }
    }
    if (signalled != nullptr) {
        const std::optional<StopAftermath> aftermath = co_await Settled(service_->awaitExit(
            signalled->members, portsOf(signalled->members), force ? delays_.afterForced : delays_.afterPolite));
        if (!self) {
            co_return;
        }
        const QList<ProcessIdentity> survivors = applyAftermath(signalled->members, aftermath);
        if (!survivors.isEmpty() && !force) {
            // Each surviving listener's row offers the forced stop of what is left of the group.
            ProcessGroup rest = *signalled;
            rest.members = survivors;
            Q_EMIT willChange();
            for (const Listener& listener : std::as_const(listeners_)) {
                if (listener.identity && survivors.contains(*listener.identity)) {
                    forceAvailable_.insert(*listener.identity);
                    groupsToForce_.insert(*listener.identity, rest);
                }
            }
        }
        refresh();
    } else if (failure != nullptr && failure->errorCase() == PortServiceError::Case::processExited) {
        for (const ProcessIdentity& member : group.members) {
            dropRowsOf(member);
        }
        refresh();
    } else {
        publish(errorMessage_,
                std::optional<QString>(failure != nullptr ? failure->errorDescription() : interruptedStopMessage()));
        callOnLayoutChange();
        if (!self) {
            co_return;
        }
    }
    endStopping(group.members);
}

QCoro::Task<void> PortStore::runUnitStop(QString unit, ProcessGroup group) {
    const QPointer<PortStore> self(this);
    const std::optional<std::optional<QString>> failure = co_await Settled(service_->stopUnit(unit));
    if (!self) {
        co_return;
    }
    if (failure && !failure->has_value()) {
        // The manager stops the unit on its own time: give it what a polite stop gets.
        const std::optional<StopAftermath> aftermath =
            co_await Settled(service_->awaitExit(group.members, portsOf(group.members), delays_.afterPolite));
        if (!self) {
            co_return;
        }
        applyAftermath(group.members, aftermath);
        refresh();
    } else {
        publish(errorMessage_, failure ? *failure : std::optional<QString>(interruptedStopMessage()));
        callOnLayoutChange();
        if (!self) {
            co_return;
        }
    }
    endStopping(group.members);
}

QList<ProcessIdentity> PortStore::applyAftermath(const QList<ProcessIdentity>& waited,
                                                 const std::optional<StopAftermath>& aftermath) {
    const QList<ProcessIdentity> survivors = aftermath ? aftermath->stillRunning : waited;
    for (const ProcessIdentity& process : waited) {
        if (!survivors.contains(process)) {
            dropRowsOf(process);
        }
    }
    if (survivors.isEmpty()) {
        showThroughRefresh(aftermath->takenAgain);
    }
    return survivors;
}

void PortStore::dropRowsOf(const ProcessIdentity& identity) {
    QList<Listener> remaining;
    std::copy_if(listeners_.cbegin(), listeners_.cend(), std::back_inserter(remaining),
                 [&](const Listener& listener) { return listener.identity != identity; });
    if (remaining.size() != listeners_.size()) {
        publish(listeners_, std::move(remaining));
    }
    if (forceAvailable_.contains(identity) || groupsToForce_.contains(identity)) {
        Q_EMIT willChange();
        forceAvailable_.remove(identity);
        groupsToForce_.remove(identity);
    }
}

void PortStore::chooseProjectFolder(const Listener& listener) {
    const std::optional<QString> key = listener.projectOverrideKey();
    if (!key || !folderChooser_) {
        return;
    }
    const FolderChoiceRequest request{
        .title = tr("Choose Project Folder"),
        .message =
            tr("Use this folder to identify %1 on port %2.").arg(listener.command, QString::number(listener.port)),
        .prompt = tr("Use Project"),
        .startFolder = listener.project ? listener.project->directory : listener.workingDirectory.value_or(QString()),
    };
    // The chooser may answer long after this call, or after the store is gone: it holds the
    // store only weakly, and the answer is applied on the store's own thread.
    const QPointer<PortStore> self(this);
    folderChooser_(request, [self, key = *key](const std::optional<QString>& folder) {
        if (!folder || folder->isEmpty() || !self) {
            return;
        }
        QMetaObject::invokeMethod(
            self.data(), [self, key, path = *folder] { self->applyProjectFolder(key, path); }, Qt::QueuedConnection);
    });
}

void PortStore::applyProjectFolder(const QString& key, const QString& folder) {
    saveProjectFolder(key, folder);
    refresh();
}

void PortStore::resetProjectFolder(const Listener& listener) {
    const std::optional<QString> key = listener.projectOverrideKey();
    if (!key) {
        return;
    }
    saveProjectFolder(*key, std::nullopt);
    refresh();
}

void PortStore::saveProjectFolder(const QString& key, const std::optional<QString>& folder) {
    if (folder) {
        projectOverrides_.insert(key, *folder);
    } else {
        projectOverrides_.remove(key);
    }
    if (const auto failed = ProjectOverridesStorage::saveChoice(settings_, key, folder)) {
        showThroughRefresh(failed);
        return;
    }
    // The file now also holds what other instances and hand edits put there.
    projectOverrides_ = ProjectOverridesStorage::load(settings_);
}

void PortStore::showThroughRefresh(const std::optional<QString>& message) {
    if (!message) {
        return;
    }
    // The layout follows with the caller's own change or with the refresh it asks for.
    lastingNotice_ = message;
    publish(errorMessage_, message);
}

}  // namespace vantu
