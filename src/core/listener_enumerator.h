#pragma once

#include "core/listener.h"
#include "core/listener_scan.h"
#include "core/port_service_error.h"
#include "platform/listening_sockets.h"

#include <QList>

#include <functional>
#include <variant>
#include <vector>

namespace vantu {

// A listening port whose holder could not be examined: in practice another user's process.
struct ForeignPort {
    uint16_t port = 0;
    // Who created the socket.
    uint32_t userID = 0;

    friend bool operator==(const ForeignPort&, const ForeignPort&) = default;
};

// What listens right now.
struct ListenerInventory {
    // One per process and port, sorted by port, then pid. Each identity belongs to the very
    // process instance that was seen holding the socket.
    QList<Listener> listeners;
    // Sockets that no examined process was found holding, one per port and owner.
    QList<ForeignPort> foreign;
};

// Finds every listening TCP socket and the processes that hold it. The kernel is asked first:
// one socket dump, then the descriptors of the user's processes (everyone's when run as root).
// Where the kernel offers no socket dump, the listing tool is the fallback; its listing is
// checked against owner and start times read before it ran, so a pid recycled while it ran is
// never taken for the process that listened.
class ListenerEnumerator {
public:
    using SocketDump = std::function<std::variant<std::vector<platform::ListeningSocket>, int>()>;

    // Moments at which a test may hold the enumeration, to change the world under it.
    enum class Stage {
        socketsDumped,  // the kernel's dump is in; no process has been examined yet
        toolFinished,   // the listing tool has ended; nothing it listed has been checked yet
    };

    // The kernel's dump, with the system's listing tool as the fallback.
    ListenerEnumerator();
    ListenerEnumerator(SocketDump dump, ListenerScan fallback);
#ifdef VANTU_TEST_HOOKS
    using Pause = std::function<void(Stage)>;
    ListenerEnumerator(SocketDump dump, ListenerScan fallback, Pause pause);
#endif

    // Blocks the calling thread: run it off the main thread. Fails only when the kernel has
    // no dump and the listing tool fails too, with the tool's error.
    [[nodiscard]] std::variant<ListenerInventory, ServiceError> enumerate() const;

    // Whether any of these process instances still holds a socket listening on `port`. With
    // the kernel's dump only these processes are examined, so it is cheap enough to poll.
    [[nodiscard]] std::variant<bool, ServiceError> stillListening(uint16_t port,
                                                                  const QList<ProcessIdentity>& processes) const;

    // A fingerprint of every listening socket: it changes when a socket opens or closes. From
    // the kernel's dump alone, so it costs well under a millisecond; nullopt without the dump.
    [[nodiscard]] std::optional<uint64_t> socketSignature() const;

    // The records for these sockets and the processes found holding them. Pure.
    static ListenerInventory assemble(const std::vector<platform::ListeningSocket>& sockets,
                                      const std::vector<platform::SocketHolder>& holders);

private:
    [[nodiscard]] ListenerInventory fromKernel(const std::vector<platform::ListeningSocket>& sockets) const;
    [[nodiscard]] std::variant<ListenerInventory, ServiceError> fromTool() const;
    void pauseAt(Stage stage) const;

    SocketDump dump_;
    ListenerScan fallback_;
#ifdef VANTU_TEST_HOOKS
    Pause pause_;
#endif
};

// The processes that the enumeration examines: the user's own, or everyone's for root.
std::optional<uint32_t> examinedOwner();

}  // namespace vantu
