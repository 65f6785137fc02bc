#include "core/process_stopper.h"

#include "platform/process_signal.h"

#include <cerrno>
#include <csignal>

namespace vantu::ProcessStopper {

std::optional<PortServiceError> stop(const ProcessIdentity& identity, bool force) {
    return send(identity, force ? SIGKILL : SIGTERM);
}

std::optional<PortServiceError> send(const ProcessIdentity& identity, int signalNumber) {
    if (!identity.canTerminate()) {
        return PortServiceError::protectedProcess();
    }
    // Pin the process first, then prove through the pin that it is the one that was
    // discovered: a pid recycled before the pin shows a different start time, and one recycled
    // after it can no longer be reached through the pin.
    auto pinned = platform::PinnedProcess::pin(identity.pid);
    if (const int* error = std::get_if<int>(&pinned)) {
        if (*error == ESRCH) {
            return PortServiceError::processExited();
        }
        return PortServiceError::signalFailed(*error);
    }
    const auto& process = std::get<platform::PinnedProcess>(pinned);
    const auto facts = process.facts();
    if (!facts) {
        return PortServiceError::processExited();
    }
    if (ProcessIdentity::of(identity.pid, *facts) != identity) {
        return PortServiceError::processChanged();
    }
    const int error = process.sendSignal(signalNumber);
    if (error != 0) {
        return PortServiceError::signalFailed(error);
    }
    return std::nullopt;
}

bool awaitExit(const ProcessIdentity& identity, std::chrono::milliseconds limit) {
    auto pinned = platform::PinnedProcess::pin(identity.pid);
    const auto* process = std::get_if<platform::PinnedProcess>(&pinned);
    if (process == nullptr) {
        return true;
    }
    const auto facts = process->facts();
    if (!facts || ProcessIdentity::of(identity.pid, *facts) != identity) {
        return true;
    }
    return process->waitForExit(limit);
}

}  // namespace vantu::ProcessStopper
