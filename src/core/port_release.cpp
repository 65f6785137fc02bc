#include "core/port_release.h"
#include <QCoreApplication>

#include "core/process_group.h"
#include "platform/listening_sockets.h"
#include "platform/process.h"

#include <QSet>

#include <algorithm>
#include <thread>

using namespace Qt::StringLiterals;

namespace vantu::PortRelease {
namespace {

// How far up from a holder its starter is looked for among the supervisors.
constexpr int kMaxAncestors = 16;

// Who started `pid`: the nearest of `supervisors` above it when one is, since that is what
// brought it back; its parent otherwise, when that is one of the user's own.
std::optional<PortHolder::Starter> starterOf(int32_t pid, const std::vector<Supervisor>& supervisors) {
    const auto self = platform::placeOf(pid);
    if (!self || self->parentPid <= 1) {
        return std::nullopt;
    }
    int32_t ancestor = self->parentPid;
    for (int depth = 0; ancestor > 1 && depth < kMaxAncestors && !supervisors.empty(); ++depth) {
        const auto place = platform::placeOf(ancestor);
        if (!place) {
            break;
        }
        const auto supervisor = std::find_if(supervisors.cbegin(), supervisors.cend(), [&](const Supervisor& known) {
            return known.identity == ProcessIdentity::of(ancestor, place->facts);
        });
        if (supervisor != supervisors.cend()) {
            return PortHolder::Starter{ancestor, supervisor->command,
                                       supervisor->processGroup == self->processGroup && self->processGroup > 0};
        }
        ancestor = place->parentPid;
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

std::vector<Supervisor> supervisorsOf(const ProcessIdentity& process) {
    std::vector<Supervisor> supervisors;
    const auto self = platform::placeOf(process.pid);
    if (!self || ProcessIdentity::of(process.pid, self->facts) != process) {
        return supervisors;
    }
    int32_t pid = self->parentPid;
    for (int depth = 0; pid > 1 && depth < kMaxAncestors; ++depth) {
        const auto place = platform::placeOf(pid);
        if (!place || place->facts.effectiveUid != platform::currentUid() ||
            ProcessGroups::isShellOfATerminal(pid, place->session, place->terminal)) {
            break;
        }
        // Above the parent only a shell restarts a server: a loop, or a script run again.
        // Anything else up there (an editor, a terminal, a service manager) starts processes of
        // its own all the time, none of them this server.
        const auto arguments = depth == 0 ? std::nullopt : platform::arguments(pid);
        if (depth == 0 || (arguments && ProcessGroups::isShell(*arguments))) {
            supervisors.push_back(Supervisor{
                ProcessIdentity::of(pid, place->facts), platform::childrenOf(pid),
                ProcessGroups::shortCommand(platform::commandLine(pid).value_or(place->command)), place->processGroup});
        }
        if (place->session == pid) {
            break;  // above a session's first process lie the desktop and the service manager
        }
        pid = place->parentPid;
    }
    return supervisors;
}

std::variant<QList<PortHolder>, ServiceError> holdersOf(const ListenerEnumerator& enumerator, uint16_t port,
                                                        const std::vector<Supervisor>& supervisors) {
    auto found = enumerator.enumerate();
    if (auto* error = std::get_if<ServiceError>(&found)) {
        return std::move(*error);
    }
    const auto& inventory = std::get<ListenerInventory>(found);
    QList<PortHolder> holders;
    for (const Listener& listener : inventory.listeners) {
        if (listener.port == port) {
            holders.append(PortHolder{listener.pid, listener.command, starterOf(listener.pid, supervisors)});
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
                                               std::chrono::steady_clock::time_point watchUntil) {
    const auto deadline = watchUntil;
    const auto noticeBy = std::min(watchUntil, std::chrono::steady_clock::now() + kNoticeTime);
    for (;;) {
        if (anySocketOn(port)) {
            auto holders = holdersOf(enumerator, port, supervisors);
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
    const QString taken =
        QCoreApplication::translate("PortVerdict", "Port %1 was taken again by %2.").arg(port).arg(names.join(u"; "_s));
    const bool restartedInGroup = std::any_of(holders.cbegin(), holders.cend(), [](const PortHolder& holder) {
        return holder.startedBy && holder.startedBy->restartsFromItsGroup;
    });
    return restartedInGroup ? taken + u' ' + QCoreApplication::translate("PortVerdict", "Stop its group instead.")
                            : taken;
}

}  // namespace vantu
