#include "store/port_store.h"

// What the store does for rows whose port a container publishes.

namespace vantu {

void PortStore::stopComposeProject(const Listener& listener) {
    if (!listener.container || listener.container->composeMembers.isEmpty()) {
        return;
    }
    const StopTarget* offer = forceTarget(listener);
    if (offer != nullptr && offer->kind() == StopTarget::Kind::composeProject) {
        startStop(*offer, true);
    } else {
        startStop(StopTarget::composeProject(listener.container->container.compose->project,
                                             listener.container->composeMembers),
                  false);
    }
}

QStringList PortStore::runningContainers(const StopTarget& target, const std::optional<StopAftermath>& aftermath) {
    if (aftermath) {
        return aftermath->containersRunning;
    }
    QStringList ids;
    for (const EngineContainer& container : target.containers()) {
        ids.append(container.id);
    }
    return ids;
}

void PortStore::dropEndedContainers(const StopTarget& waited, const std::optional<StopAftermath>& aftermath) {
    if (!waited.isContainers() || !aftermath) {
        return;
    }
    const auto hasEnded = [&waited, &aftermath](const Listener& listener) {
        return waited.covers(listener) && !aftermath->containersRunning.contains(listener.container->container.id);
    };
    if (std::any_of(listeners_.cbegin(), listeners_.cend(), hasEnded)) {
        QList<Listener> remaining = listeners_;
        remaining.removeIf(hasEnded);
        publish(listeners_, std::move(remaining));
    }
    // Nothing is left to force of the containers that ended.
    QList<StopTarget> offers;
    for (const StopTarget& offer : std::as_const(forceOffers_)) {
        if (!offer.isContainers() || !offer.overlaps(waited)) {
            offers.append(offer);
            continue;
        }
        QStringList left;
        for (const EngineContainer& container : offer.containers()) {
            if (!waited.stopsContainer(container.id) || aftermath->containersRunning.contains(container.id)) {
                left.append(container.id);
            }
        }
        if (const auto rest = offer.remainder({}, left)) {
            offers.append(*rest);
        }
    }
    if (offers != forceOffers_) {
        publish(forceOffers_, std::move(offers));
    }
}

}  // namespace vantu
