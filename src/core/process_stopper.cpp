#include "core/process_stopper.h"

#include "platform/process_signal.h"

#include <cerrno>
#include <csignal>

namespace vantu::ProcessStopper {

namespace {

// Sends the signal `choose` picks for the pinned process, once it is proven to be `identity`.
template <typename Choose>
std::optional<PortServiceError> sendChosen(const ProcessIdentity& identity, Choose choose) {
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
    const int error = process.sendSignal(choose(process));
    if (error != 0) {
        // The kernel says only "invalid argument" when the process is beyond our namespace.
        return error == EINVAL && !platform::procSharesOurPidNamespace() ? PortServiceError::outsideNamespace()
                                                                         : PortServiceError::signalFailed(error);
    }
    return std::nullopt;
}

}  // namespace

std::optional<PortServiceError> stop(const ProcessIdentity& identity, bool force) {
    return send(identity, force ? SIGKILL : SIGTERM);
}

std::optional<PortServiceError> send(const ProcessIdentity& identity, int signalNumber) {
    return sendChosen(identity, [signalNumber](const platform::PinnedProcess&) { return signalNumber; });
}

std::optional<PortServiceError> interrupt(const ProcessIdentity& identity) {
    return sendChosen(
        identity, [](const platform::PinnedProcess& process) { return process.ignores(SIGINT) ? SIGTERM : SIGINT; });
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
