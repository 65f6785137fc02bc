#pragma once

// A blocking call on the session bus for the Linux files of this folder. Not for use outside it.

#include <QDBusMessage>
#include <QString>

#include <chrono>
#include <variant>

namespace vantu::platform::sessionBus {

// Why a call got no answer: the bus could not be reached, or the peer answered with an error.
struct CallFailure {
    QString message;
    bool busUnreachable = false;
};

// Sends `call` on a connection of its own, made for this call and closed after it: the callers
// run on worker threads, and the shared session bus connection would tie the call to the main
// thread's event loop. The bus address is read from the environment now (the bus library would
// keep the first one it saw for the life of the process). Waits at most `limit`.
std::variant<QDBusMessage, CallFailure> call(const QDBusMessage& call, std::chrono::milliseconds limit);

}  // namespace vantu::platform::sessionBus
