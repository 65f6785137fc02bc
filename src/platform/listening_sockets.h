#pragma once

#include "platform/process.h"

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <variant>
#include <vector>

#include <QString>

namespace vantu::platform {

// One TCP socket in the LISTEN state, as the kernel reports it for this network namespace.
struct ListeningSocket {
    uint16_t port = 0;
    // Who created the socket.
    uint32_t uid = 0;
    uint64_t inode = 0;
    bool ipv6 = false;
    // The local address it is bound to, in numeric form ("0.0.0.0", "::1").
    QString address;

    friend bool operator==(const ListeningSocket&, const ListeningSocket&) = default;
};

// Every listening TCP socket, IPv4 and IPv6, in one dump from the kernel's socket
// diagnostics; the errno of the failure when the kernel does not offer them (a sandbox
// without sock_diag, say). Costs well under a millisecond: no process is examined.
std::variant<std::vector<ListeningSocket>, int> dumpListeningSockets();

// A process found holding some of the sockets looked for, with the facts that pin it down.
// Every fact was read through one open /proc/<pid> directory, between two reads of its owner
// and start time that agreed, so all of it belongs to one process instance.
struct SocketHolder {
    int32_t pid = 0;
    ProcessFacts facts;
    // The kernel's command name (at most 15 bytes), as listing tools report it.
    QString command;
    // The inodes looked for that it holds, each once.
    std::vector<uint64_t> inodes;
};

using InodeSet = std::unordered_set<uint64_t>;

// The processes that hold any of `inodes`: those of `owner`, or every process when `owner`
// is nullopt. The walk is spread over the machine's cores.
std::vector<SocketHolder> findSocketHolders(const InodeSet& inodes, std::optional<uint32_t> owner);

// The same walk over just these processes.
std::vector<SocketHolder> findSocketHoldersAmong(const InodeSet& inodes, const std::vector<int32_t>& pids);

// Owner and start time of every process of `owner` (every process when nullopt), by pid.
std::unordered_map<int32_t, ProcessFacts> processFacts(std::optional<uint32_t> owner);

// The facts of the process with that pid, but only if it holds a socket listening on `port`
// in its own network namespace: proof, through one /proc/<pid> directory, that the process
// a listing tool named is the one that listens.
std::optional<ProcessFacts> confirmListening(int32_t pid, uint16_t port);

}  // namespace vantu::platform
