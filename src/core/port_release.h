#pragma once

#include "core/listener_enumerator.h"
#include "core/process_identity.h"

#include <QList>
#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace vantu {

// A process that holds a port, and who started it when that is one of the user's own.
struct PortHolder {
    struct Starter {
        int32_t pid = 0;
        QString command;
        // It started this holder after the stop, and both are in one process group: stopping
        // that group ends the holder and what keeps starting it.
        bool restartsFromItsGroup = false;
        friend bool operator==(const Starter&, const Starter&) = default;
    };
    int32_t pid = 0;
    QString command;
    std::optional<Starter> startedBy;
    // Another user's process, which could not be examined: no pid, no command.
    bool foreign = false;
    // Who created the socket, for a foreign holder.
    uint32_t socketUserID = 0;

    friend bool operator==(const PortHolder&, const PortHolder&) = default;
};

// What became of a port once the processes that were stopped let go of it.
struct PortVerdict {
    uint16_t port = 0;
    // Who holds it now; empty when it is free.
    QList<PortHolder> holders;

    [[nodiscard]] bool isFree() const { return holders.isEmpty(); }
    // "Port 3000 is free." or "Port 3000 was taken again by node (PID 4242), started by nodemon
    // (PID 4100).", with "Stop its group instead." when its starter restarts it from its group."
    [[nodiscard]] QString message() const;

    friend bool operator==(const PortVerdict&, const PortVerdict&) = default;
};

// A process that may start a stopped one again, with the children it had before the stop: a
// child it starts afterwards may be the same server started again (a shell loop, a file
// watcher), however far down the server then runs.
struct Supervisor {
    ProcessIdentity identity;
    std::vector<int32_t> childrenBefore;
    // Its command line, cut to what a person needs ("bash -c while true; do npm run dev; done").
    QString command;
    int32_t processGroup = 0;
};

// Tells the truth about a stop: waits for the signalled processes to let go of their ports,
// then asks the kernel who, if anyone, holds each port. Blocks: run off the main thread.
namespace PortRelease {

// What may start `process` again, read just before the signal: its parent, and the shells
// further up that could run it in a loop (npm's parent may be `while true; do npm run dev;
// done`). The walk stops at what is not the user's own, at the system's first process, at the
// shell a person types into, which restarts nothing by itself, and after the first process of
// a session.
std::vector<Supervisor> supervisorsOf(const ProcessIdentity& process);

// Who listens on `port` now, each with who started it: the nearest of `supervisors` above it
// when one is.
std::variant<QList<PortHolder>, ServiceError> holdersOf(const ListenerEnumerator& enumerator, uint16_t port,
                                                        const std::vector<Supervisor>& supervisors = {});

// The verdict on a port that the stopped processes no longer hold. When it is free but one of
// `supervisors` has started a new process since, that process may be the server coming back:
// the port is watched until it is taken or that process ends, at the latest until `watchUntil`.
std::variant<PortVerdict, ServiceError> settle(const ListenerEnumerator& enumerator, uint16_t port,
                                               const std::vector<Supervisor>& supervisors,
                                               std::chrono::steady_clock::time_point watchUntil);

}  // namespace PortRelease
}  // namespace vantu
