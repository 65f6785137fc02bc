#pragma once

#include "platform/unique_fd.h"

#include <QString>

#include <cstdint>
#include <variant>

namespace vantu::platform {

// A handle on one process instance. Where the kernel has pidfds, a signal sent through it
// reaches that instance or nobody, even if the pid is handed to a newer process meanwhile;
// older kernels fall back to signalling by pid.
class PinnedProcess {
public:
    // Pins the process that holds `pid` now, or gives the errno of the failure (ESRCH when
    // there is no such process). Pids below 1 are refused with EINVAL: to `kill` they name
    // whole process groups.
    static std::variant<PinnedProcess, int> pin(int32_t pid);

    // 0 when the signal was sent, else the errno of the failed call.
    [[nodiscard]] int sendSignal(int signalNumber) const;

    [[nodiscard]] int32_t pid() const { return pid_; }
    // False when the kernel has no pidfds and signals go by pid.
    [[nodiscard]] bool isPinned() const { return pidfd_.valid(); }

private:
    PinnedProcess(int32_t pid, UniqueFd pidfd) : pid_(pid), pidfd_(std::move(pidfd)) {}
    int32_t pid_;
    UniqueFd pidfd_;
};

// The system's own sentence for an errno value, in the user's language.
QString errorText(int errorNumber);

}  // namespace vantu::platform
