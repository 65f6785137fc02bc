#include "core/listener_enumerator.h"

#include "core/listener_parser.h"
#include "platform/log.h"
#include "platform/process.h"
#include "platform/process_signal.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <unordered_map>

namespace vantu {
namespace {

void sortByPortThenPid(QList<Listener>& listeners) {
    std::sort(listeners.begin(), listeners.end(),
              [](const Listener& a, const Listener& b) { return a.port != b.port ? a.port < b.port : a.pid < b.pid; });
}

}  // namespace

std::optional<uint32_t> examinedOwner() {
    const uint32_t uid = platform::currentUid();
    return uid == 0 ? std::nullopt : std::optional(uid);
}

ListenerEnumerator::ListenerEnumerator() : ListenerEnumerator(&platform::dumpListeningSockets, ListenerScan()) {}

ListenerEnumerator::ListenerEnumerator(SocketDump dump, ListenerScan fallback)
    : dump_(std::move(dump)), fallback_(std::move(fallback)) {}

#ifdef VANTU_TEST_HOOKS
ListenerEnumerator::ListenerEnumerator(SocketDump dump, ListenerScan fallback, Pause pause)
    : dump_(std::move(dump)), fallback_(std::move(fallback)), pause_(std::move(pause)) {}
#endif

void ListenerEnumerator::pauseAt([[maybe_unused]] Stage stage) const {
#ifdef VANTU_TEST_HOOKS
    if (pause_) {
        pause_(stage);
    }
#endif
}

std::variant<ListenerInventory, ServiceError> ListenerEnumerator::enumerate() const {
    const auto dumped = dump_();
    if (const auto* sockets = std::get_if<std::vector<platform::ListeningSocket>>(&dumped)) {
        qCDebug(lcScan, "listing from the kernel's socket dump: %zu listening sockets", sockets->size());
        return fromKernel(*sockets);
    }
    qCDebug(lcScan, "no socket dump from the kernel (%s): listing with the listing tool",
            qUtf8Printable(platform::errorText(std::get<int>(dumped))));
    return fromTool();
}

std::optional<uint64_t> ListenerEnumerator::socketSignature() const {
    auto dumped = dump_();
    auto* sockets = std::get_if<std::vector<platform::ListeningSocket>>(&dumped);
    if (sockets == nullptr) {
        return std::nullopt;
    }
    std::sort(sockets->begin(), sockets->end(),
              [](const platform::ListeningSocket& a, const platform::ListeningSocket& b) { return a.inode < b.inode; });
    size_t seed = 0;
    for (const auto& socket : *sockets) {
        seed = qHashMulti(seed, socket.inode, socket.port, socket.uid);
    }
    return static_cast<uint64_t>(seed);
}

std::variant<bool, ServiceError> ListenerEnumerator::stillListening(uint16_t port,
                                                                    const QList<ProcessIdentity>& processes) const {
    const auto dumped = dump_();
    const auto* sockets = std::get_if<std::vector<platform::ListeningSocket>>(&dumped);
    if (sockets == nullptr) {
        auto found = fromTool();
        if (auto* error = std::get_if<ServiceError>(&found)) {
            return std::move(*error);
        }
        const auto& listeners = std::get<ListenerInventory>(found).listeners;
        return std::any_of(listeners.cbegin(), listeners.cend(), [&](const Listener& listener) {
            return listener.port == port && listener.identity && processes.contains(*listener.identity);
        });
    }
    platform::InodeSet onPort;
    for (const auto& socket : *sockets) {
        if (socket.port == port) {
            onPort.insert(socket.inode);
        }
    }
    std::vector<int32_t> pids;
    for (const ProcessIdentity& process : processes) {
        pids.push_back(process.pid);
    }
    const auto holders = platform::findSocketHoldersAmong(onPort, pids);
    return std::any_of(holders.cbegin(), holders.cend(), [&](const platform::SocketHolder& holder) {
        return processes.contains(ProcessIdentity::of(holder.pid, holder.facts));
    });
}

ListenerInventory ListenerEnumerator::fromKernel(const std::vector<platform::ListeningSocket>& sockets) const {
    pauseAt(Stage::socketsDumped);
    platform::InodeSet inodes;
    for (const auto& socket : sockets) {
        inodes.insert(socket.inode);
    }
    return assemble(sockets, platform::findSocketHolders(inodes, examinedOwner()));
}

ListenerInventory ListenerEnumerator::assemble(const std::vector<platform::ListeningSocket>& sockets,
                                               const std::vector<platform::SocketHolder>& holders) {
    std::unordered_map<uint64_t, const platform::ListeningSocket*> byInode;
    for (const auto& socket : sockets) {
        byInode.emplace(socket.inode, &socket);
    }
    // Keyed like the listing tool's records: an IPv4 and an IPv6 socket of one process on one
    // port are one listener.
    QHash<Listener::ID, Listener> listeners;
    QSet<uint64_t> held;
    for (const auto& holder : holders) {
        const ProcessIdentity identity = ProcessIdentity::of(holder.pid, holder.facts);
        for (const uint64_t inode : holder.inodes) {
            const auto socket = byInode.find(inode);
            if (socket == byInode.end() || holder.command.isEmpty()) {
                continue;
            }
            held.insert(inode);
            Listener listener{
                .pid = holder.pid,
                .port = socket->second->port,
                .command = holder.command,
                .identity = identity,
            };
            const Listener::ID id = listener.id();
            if (!listeners.contains(id)) {
                listeners.insert(id, std::move(listener));
            }
            QStringList& addresses = listeners[id].addresses;
            if (!addresses.contains(socket->second->address)) {
                addresses.append(socket->second->address);
            }
        }
    }
    ListenerInventory inventory{.listeners = listeners.values()};
    sortByPortThenPid(inventory.listeners);
    for (const auto& socket : sockets) {
        const ForeignPort port{.port = socket.port, .userID = socket.uid};
        if (!held.contains(socket.inode) && !inventory.foreign.contains(port)) {
            inventory.foreign.append(port);
        }
    }
    std::sort(inventory.foreign.begin(), inventory.foreign.end(), [](const ForeignPort& a, const ForeignPort& b) {
        return a.port != b.port ? a.port < b.port : a.userID < b.userID;
    });
    return inventory;
}

std::variant<ListenerInventory, ServiceError> ListenerEnumerator::fromTool() const {
    // Owner and start time of every candidate before the tool starts: whatever it lists must
    // still read the same once it has ended, or the pid changed hands while it ran.
    const auto before = platform::processFacts(examinedOwner());
    auto scanned = fallback_.run();
    pauseAt(Stage::toolFinished);
    if (auto* error = std::get_if<ServiceError>(&scanned)) {
        qCWarning(lcScan, "the listing tool failed: %s", qUtf8Printable(errorDescription(*error)));
        return std::move(*error);
    }
    const ScanOutcome& outcome = std::get<ScanOutcome>(scanned);
    if (!outcome.output) {
        return ListenerInventory{};
    }

    QSet<int32_t> changed;
    QSet<int32_t> unknown;
    QList<Listener> listed = ListenerParser::parse(*outcome.output, [&](int32_t pid) -> std::optional<ProcessIdentity> {
        const auto earlier = before.find(pid);
        if (earlier == before.end()) {
            unknown.insert(pid);
            return std::nullopt;
        }
        const auto now = platform::readProcessFacts(pid);
        if (!now || *now != earlier->second) {
            changed.insert(pid);
            return std::nullopt;
        }
        return ProcessIdentity::of(pid, *now);
    });

    // A process that started while the tool ran has no earlier read: it counts only once its
    // own descriptors show it listening on the port, read between two agreeing identity reads.
    QHash<int32_t, std::optional<ProcessIdentity>> confirmed;
    for (const Listener& listener : listed) {
        if (!unknown.contains(listener.pid)) {
            continue;
        }
        const auto facts = platform::confirmListening(listener.pid, listener.port);
        const std::optional<ProcessIdentity> identity =
            facts ? std::optional(ProcessIdentity::of(listener.pid, *facts)) : std::nullopt;
        const auto known = confirmed.constFind(listener.pid);
        if (known == confirmed.cend()) {
            confirmed.insert(listener.pid, identity);
        } else if (*known != identity) {
            confirmed.insert(listener.pid, std::nullopt);
        }
    }

    ListenerInventory inventory;
    QSet<Listener::ID> seen;
    for (Listener& listener : listed) {
        if (changed.contains(listener.pid)) {
            continue;
        }
        if (unknown.contains(listener.pid)) {
            // Every port of the process was confirmed, each with the same identity, or none counts.
            const auto identity = confirmed.value(listener.pid);
            if (!identity) {
                continue;
            }
            listener.identity = identity;
        }
        if (!listener.identity) {
            continue;
        }
        // A pid listed twice with two identities collapses once the identities are settled.
        if (!seen.contains(listener.id())) {
            seen.insert(listener.id());
            inventory.listeners.append(std::move(listener));
        }
    }
    sortByPortThenPid(inventory.listeners);
    return inventory;
}

}  // namespace vantu
