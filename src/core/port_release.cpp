#include "core/port_release.h"
#include <QCoreApplication>

#include "platform/listening_sockets.h"
#include "platform/process.h"

#include <QSet>

#include <algorithm>
#include <thread>

using namespace Qt::StringLiterals;

namespace vantu::PortRelease {
namespace {

std::optional<PortHolder::Starter> starterOf(int32_t pid) {
    const auto self = platform::describeProcess(pid);
    if (!self || self->parentPid <= 1) {
        return std::nullopt;
    }
    const auto parent = platform::describeProcess(self->parentPid);
    if (!parent || parent->facts.effectiveUid != platform::currentUid()) {
        return std::nullopt;
    }
    return PortHolder::Starter{self->parentPid, parent->command};
}

// Processes a supervisor started after the stop that still run.
bool hasNewChildren(const Supervisor& supervisor) {
    const auto now = platform::describeProcess(supervisor.identity.pid);
    if (!now || ProcessIdentity::of(supervisor.identity.pid, now->facts) != supervisor.identity) {
        return false;
    }
    for (const int32_t child : platform::childrenOf(supervisor.identity.pid)) {
        if (std::find(supervisor.childrenBefore.cbegin(), supervisor.childrenBefore.cend(), child) ==
            supervisor.childrenBefore.cend()) {
            return true;
        }
    }
    return false;
}

// Whether the supervisor is still the process it was.
bool isRunning(const Supervisor& supervisor) {
    const auto now = platform::describeProcess(supervisor.identity.pid);
    return now && ProcessIdentity::of(supervisor.identity.pid, now->facts) == supervisor.identity;
}

// How long a supervisor that still runs may take to start a process after the stop.
constexpr std::chrono::milliseconds kNoticeTime{300};
// How often a port that is being let go of is looked at again.
constexpr std::chrono::milliseconds kPollInterval{25};

// Whether anything listens on the port: one socket dump, no process examined. Without a dump,
// assume so and let the caller look properly.
bool anySocketOn(uint16_t port) {
    const auto dumped = platform::dumpListeningSockets();
    const auto* sockets = std::get_if<std::vector<platform::ListeningSocket>>(&dumped);
    return sockets == nullptr || std::any_of(sockets->cbegin(), sockets->cend(),
                                             [port](const platform::ListeningSocket& s) { return s.port == port; });
}

}  // namespace

std::optional<Supervisor> supervisorOf(const ProcessIdentity& process) {
    const auto self = platform::describeProcess(process.pid);
    if (!self || ProcessIdentity::of(process.pid, self->facts) != process || self->parentPid <= 1) {
        return std::nullopt;
    }
    const auto parent = platform::describeProcess(self->parentPid);
    if (!parent || parent->facts.effectiveUid != platform::currentUid()) {
        return std::nullopt;
    }
    return Supervisor{ProcessIdentity::of(self->parentPid, parent->facts), platform::childrenOf(self->parentPid)};
}

std::variant<QList<PortHolder>, ServiceError> holdersOf(const ListenerEnumerator& enumerator, uint16_t port) {
    auto found = enumerator.enumerate();
    if (auto* error = std::get_if<ServiceError>(&found)) {
        return std::move(*error);
    }
    const auto& inventory = std::get<ListenerInventory>(found);
    QList<PortHolder> holders;
    for (const Listener& listener : inventory.listeners) {
        if (listener.port == port) {
            holders.append(PortHolder{listener.pid, listener.command, starterOf(listener.pid)});
        }
    }
    for (const ForeignPort& other : inventory.foreign) {
        if (other.port == port && holders.isEmpty()) {
            holders.append(PortHolder{.foreign = true, .socketUserID = other.userID});
        }
    }
    return holders;
}

std::variant<PortVerdict, ServiceError> settle(const ListenerEnumerator& enumerator, uint16_t port,
                                               const std::vector<Supervisor>& supervisors,
                                               std::chrono::milliseconds respawnWindow) {
    const auto deadline = std::chrono::steady_clock::now() + respawnWindow;
    const auto noticeBy = std::chrono::steady_clock::now() + std::min(respawnWindow, kNoticeTime);
    for (;;) {
        if (anySocketOn(port)) {
            auto holders = holdersOf(enumerator, port);
            if (auto* error = std::get_if<ServiceError>(&holders)) {
                return std::move(*error);
            }
            auto& list = std::get<QList<PortHolder>>(holders);
            // A socket of the user's own that no process holds is being closed by a process on its
            // way out (its descriptors are gone, its last close not yet done): wait for it.
            const bool closing = std::all_of(list.cbegin(), list.cend(), [](const PortHolder& holder) {
                return holder.foreign && holder.socketUserID == platform::currentUid();
            });
            if (!list.isEmpty()) {
                if (!closing || std::chrono::steady_clock::now() >= deadline) {
                    return PortVerdict{port, std::move(list)};
                }
                std::this_thread::sleep_for(kPollInterval);
                continue;
            }
        }
        // A supervisor starts the server again only once it has noticed the end: while it still
        // runs, give it a moment to do so before calling the port free.
        const auto now = std::chrono::steady_clock::now();
        const bool comingBack = std::any_of(supervisors.cbegin(), supervisors.cend(), hasNewChildren);
        const bool mayStillComeBack =
            now < noticeBy && std::any_of(supervisors.cbegin(), supervisors.cend(), isRunning);
        if ((!comingBack && !mayStillComeBack) || now >= deadline) {
            return PortVerdict{port, {}};
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

}  // namespace vantu::PortRelease

namespace vantu {

QString PortVerdict::message() const {
    if (holders.isEmpty()) {
        return QCoreApplication::translate("PortVerdict", "Port %1 is free.").arg(port);
    }
    QStringList names;
    for (const PortHolder& holder : holders) {
        if (holder.foreign) {
            names.append(QCoreApplication::translate("PortVerdict", "another user’s process"));
            continue;
        }
        QString name = QCoreApplication::translate("PortVerdict", "%1 (PID %2)").arg(holder.command).arg(holder.pid);
        if (holder.startedBy) {
            name = QCoreApplication::translate("PortVerdict", "%1, started by %2 (PID %3)")
                       .arg(name, holder.startedBy->command)
                       .arg(holder.startedBy->pid);
        }
        names.append(name);
    }
    return QCoreApplication::translate("PortVerdict", "Port %1 was taken again by %2.")
        .arg(port)
        .arg(names.join(u"; "_s));
}

}  // namespace vantu
