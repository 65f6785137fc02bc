#include "store/port_store.h"
#include <QCoreApplication>

#include "core/visible_text.h"
#include "platform/settings_store.h"
#include "rules/development_port_filter.h"
#include "service/project_overrides.h"
#include "store/list_geometry.h"
#include "store/settled.h"

#include <QCoroTask>
#include <QCoroTimer>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>

#include <utility>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

QString interruptedScanMessage() {
    return QCoreApplication::translate("PortStore", "Port scan was interrupted. Try refreshing.");
}

QString interruptedStopMessage() {
    return QCoreApplication::translate("PortStore", "Couldn’t stop process: the request was interrupted.");
}

// After a group's stop, the ports it freed, when more than one: rows vanish that the user did
// not click, and the sentence says which.
std::optional<QString> freedPorts(const StopTarget& target, const QList<uint16_t>& ports,
                                  const QList<uint16_t>& stillHeld) {
    QList<uint16_t> freed;
    std::copy_if(ports.cbegin(), ports.cend(), std::back_inserter(freed),
                 [&stillHeld](uint16_t port) { return !stillHeld.contains(port); });
    if (target.kind() == StopTarget::Kind::process || freed.size() < 2) {
        return std::nullopt;
    }
    std::sort(freed.begin(), freed.end());
    QStringList numbers;
    for (const uint16_t port : std::as_const(freed)) {
        numbers.append(QString::number(port));
    }
    const QString name = target.kind() == StopTarget::Kind::processGroup && target.group()
                             ? visible(target.group()->leaderCommand)
                             : target.description();
    return QCoreApplication::translate("PortStore", "Stopped %1 — ports %2 are free.").arg(name, numbers.join(u", "_s));
}

}  // namespace

PortStore::PortStore(std::unique_ptr<PortService> service, platform::SettingsStore& settings,
                     FolderChooser folderChooser, StopDelays delays, QObject* parent)
    : QObject(parent),
      service_(service ? std::move(service) : std::make_unique<PortService>()),
      settings_(settings),
      folderChooser_(std::move(folderChooser)),
      delays_(delays),
      errorMessage_(settings.readProblem()),
      discoverySettings_(DiscoverySettings::load(settings)),
      projectOverrides_(ProjectOverridesStorage::load(settings)),
      lastingNotice_(settings.readProblem()) {}

PortStore::~PortStore() = default;

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
            for (const Listener& listener : std::get<QList<Listener>>(*outcome)) {
                // The settings may have changed while the scan ran; the current ones decide.
                if (DevelopmentPortFilter::includes(listener, discoverySettings_)) {
                    shown.append(listener);
                }
            }
            // A force offer outlives a refresh only while one of its rows is still listed.
            QList<StopTarget> offers = forceOffers_;
            offers.removeIf([&shown](const StopTarget& offer) {
                return std::none_of(shown.cbegin(), shown.cend(),
                                    [&offer](const Listener& listener) { return offer.covers(listener); });
            });
            publish(listeners_, std::move(shown));
            publish(hasSnapshot_, true);
            lastScanFailed_ = false;
            // A failed save stays in sight through the refresh it asked for.
            publish(errorMessage_, std::exchange(lastingNotice_, std::nullopt));
            publish(forceOffers_, std::move(offers));
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
    followContainers();
    if (socketCheckRunning_) {
        return;
    }
    socketCheckRunning_ = true;
    runSocketCheck();
}

QCoro::Task<void> PortStore::runSocketCheck() {
    const QPointer<PortStore> self(this);
    const uint64_t watch = socketWatch_;
    const auto signature = co_await Settled(service_->socketSignature());
    if (!self) {
        co_return;
    }
    socketCheckRunning_ = false;
    if (!signature || !*signature || watch != socketWatch_) {
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

bool PortStore::isStopping(const Listener& listener) const {
    return std::any_of(stopping_.cbegin(), stopping_.cend(),
                       [&listener](const StopTarget& target) { return target.covers(listener); });
}

const StopTarget* PortStore::forceTarget(const Listener& listener) const {
    const auto found = std::find_if(forceOffers_.cbegin(), forceOffers_.cend(),
                                    [&listener](const StopTarget& target) { return target.covers(listener); });
    return found == forceOffers_.cend() ? nullptr : &*found;
}

void PortStore::stop(const Listener& listener) {
    if (const StopTarget* offer = forceTarget(listener)) {
        startStop(*offer, true);
    } else if (listener.container) {
        startStop(StopTarget::container(listener.container->target()), false);
    } else if (listener.identity) {
        startStop(StopTarget::process(*listener.identity, listener.displayName()), false);
    }
}

void PortStore::stopGroup(const Listener& listener) {
    if (!listener.identity || !listener.canTerminate()) {
        return;
    }
    const StopTarget* offer = forceTarget(listener);
    if (offer != nullptr && offer->kind() == StopTarget::Kind::processGroup) {
        startStop(*offer, true);
    } else if (listener.group) {
        startStop(StopTarget::processGroup(*listener.group), false);
    }
}

void PortStore::stopUnit(const Listener& listener) {
    if (listener.group && listener.group->unit && listener.canTerminate()) {
        startStop(StopTarget::userUnit(*listener.group), false);
    }
}

void PortStore::startStop(StopTarget target, bool force) {
    // The only guard against two stops of one process: checked and set in one main-thread
    // turn, so no second request can slip in between.
    if (std::any_of(stopping_.cbegin(), stopping_.cend(),
                    [&target](const StopTarget& other) { return other.overlaps(target); })) {
        return;
    }
    publish(stopping_, QList<StopTarget>(stopping_) << target);
    publish(errorMessage_, std::optional<QString>());
    const QPointer<PortStore> self(this);
    callOnLayoutChange();
    if (self) {
        QMetaObject::invokeMethod(
            this, [this, target = std::move(target), force] { runStop(target, force); }, Qt::QueuedConnection);
    }
}

QCoro::Task<void> PortStore::runStop(StopTarget target, bool force) {
    const QPointer<PortStore> self(this);
    const std::optional<StopSendResult> outcome = co_await Settled(service_->send(target, force));
    if (!self) {
        co_return;
    }
    const double height = popoverHeight();
    const auto* sent = outcome ? std::get_if<StopSent>(&*outcome) : nullptr;
    const auto* failure = outcome ? std::get_if<PortServiceError>(&*outcome) : nullptr;
    if (sent != nullptr) {
        // Give the processes time to exit; the wait ends early once they have.
        const StopSent asked = *sent;
        const QList<uint16_t> ports = portsOf(asked.target);
        const std::optional<StopAftermath> aftermath =
            co_await Settled(service_->awaitOutcome(asked, ports, force ? delays_.afterForced : delays_.afterPolite));
        if (!self) {
            co_return;
        }
        // Ended, their rows go at once rather than with the refresh, and nothing is left to force.
        const QList<ProcessIdentity> survivors = applyAftermath(asked.target, aftermath, ports);
        if (const auto rest =
                force ? std::nullopt : asked.target.remainder(survivors, runningContainers(asked.target, aftermath))) {
            // In one turn: the rows leave the stopping state and offer the forced stop of what
            // is left, while the refresh that decides whether they stay is on its way.
            QList<StopTarget> offers;
            std::copy_if(forceOffers_.cbegin(), forceOffers_.cend(), std::back_inserter(offers),
                         [&rest](const StopTarget& offer) { return !offer.overlaps(*rest); });
            publish(forceOffers_, offers << *rest);
        }
        refresh();
    } else if (failure != nullptr && failure->errorCase() == PortServiceError::Case::processExited) {
        // It ended on its own before the stop: nothing went wrong, the list was just behind.
        dropEnded(target.processes());
        refresh();
    } else {
        publish(errorMessage_,
                std::optional<QString>(failure != nullptr ? failure->errorDescription() : interruptedStopMessage()));
    }
    // Rows that went at once, and a sentence that stays, change the height before the refresh.
    if (popoverHeight() != height) {
        callOnLayoutChange();
        if (!self) {
            co_return;
        }
    }
    QList<StopTarget> still = stopping_;
    still.removeOne(target);
    publish(stopping_, std::move(still));
}

QList<uint16_t> PortStore::portsOf(const StopTarget& target) const {
    QList<uint16_t> ports;
    for (const Listener& listener : listeners_) {
        if (target.covers(listener) && !ports.contains(listener.port)) {
            ports.append(listener.port);
        }
    }
    return ports;
}

QList<ProcessIdentity> PortStore::applyAftermath(const StopTarget& waited,
                                                 const std::optional<StopAftermath>& aftermath,
                                                 const QList<uint16_t>& ports) {
    const QList<ProcessIdentity> survivors = aftermath ? aftermath->stillRunning : waited.processes();
    QList<ProcessIdentity> ended;
    std::copy_if(waited.processes().cbegin(), waited.processes().cend(), std::back_inserter(ended),
                 [&survivors](const ProcessIdentity& process) { return !survivors.contains(process); });
    dropEnded(ended);
    dropEndedContainers(waited, aftermath);
    if (survivors.isEmpty() && aftermath) {
        showThroughRefresh(aftermath->takenAgain ? aftermath->takenAgain
                                                 : freedPorts(waited, ports, aftermath->stillHeld));
    }
    return survivors;
}

void PortStore::dropEnded(const QList<ProcessIdentity>& ended) {
    const auto hasEnded = [&ended](const Listener& listener) {
        return listener.identity && ended.contains(*listener.identity);
    };
    if (std::any_of(listeners_.cbegin(), listeners_.cend(), hasEnded)) {
        QList<Listener> remaining = listeners_;
        remaining.removeIf(hasEnded);
        publish(listeners_, std::move(remaining));
    }
    QList<StopTarget> offers;
    for (const StopTarget& offer : std::as_const(forceOffers_)) {
        QList<ProcessIdentity> left = offer.processes();
        left.removeIf([&ended](const ProcessIdentity& process) { return ended.contains(process); });
        if (const auto rest = offer.remainder(left)) {
            offers.append(*rest);
        }
    }
    if (offers != forceOffers_) {
        publish(forceOffers_, std::move(offers));
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
    if (saveProjectFolder(key, folder)) {
        refresh();
    }
}

void PortStore::resetProjectFolder(const Listener& listener) {
    const std::optional<QString> key = listener.projectOverrideKey();
    if (key && saveProjectFolder(*key, std::nullopt)) {
        refresh();
    }
}

bool PortStore::saveProjectFolder(const QString& key, const std::optional<QString>& folder) {
    if (folder) {
        projectOverrides_.insert(key, *folder);
    } else {
        projectOverrides_.remove(key);
    }
    if (const auto failed = ProjectOverridesStorage::saveChoice(settings_, key, folder)) {
        // The sentence adds a line to the popover at once, not with the refresh.
        const double height = popoverHeight();
        showThroughRefresh(failed);
        if (popoverHeight() != height) {
            const QPointer<PortStore> self(this);
            callOnLayoutChange();
            return !self.isNull();
        }
        return true;
    }
    // The file now also holds what other instances and hand edits put there.
    projectOverrides_ = ProjectOverridesStorage::load(settings_);
    return true;
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
