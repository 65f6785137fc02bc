#pragma once

#include "platform/process.h"
#include "platform/unique_fd.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>
#include <variant>

namespace vantu::platform {

// A handle on one process instance: its /proc/<pid> directory, held open. Facts read through
// it and signals sent through it reach that instance or nobody, even if the pid is handed to a
// newer process meanwhile. Because the directory is the one /proc numbers, the handle names the
// process /proc describes, also when this program runs in another pid namespace than the /proc
// it sees (a pidfd would be numbered by this program's namespace instead).
class PinnedProcess {
public:
    // Pins the process that holds `pid` in /proc now, or gives the errno of the failure (ESRCH
    // when there is no such process). Pids below 1 are refused with EINVAL: to `kill` they name
    // whole process groups.
    static std::variant<PinnedProcess, int> pin(int32_t pid);

    // Owner and start time of the pinned instance; nullopt once it has been reaped.
    [[nodiscard]] std::optional<ProcessFacts> facts() const;

    // Whether the pinned instance still runs: neither reaped nor a zombie.
    [[nodiscard]] bool isRunning() const;

    // Waits up to `limit` for the pinned instance to end; true once it has. Without blocking a
    // thread in a sleep where the kernel can say when it ends (a pidfd).
    [[nodiscard]] bool waitForExit(std::chrono::milliseconds limit) const;

    // Whether the pinned instance ignores the signal: a job that a script started in the
    // background ignores SIGINT, as a shell without job control arranges.
    [[nodiscard]] bool ignores(int signalNumber) const;

    // 0 when the signal was sent, else the errno of the failed call.
    [[nodiscard]] int sendSignal(int signalNumber) const;

    [[nodiscard]] int32_t pid() const { return pid_; }
    // False on kernels too old to signal through the handle, where signals go by pid.
    [[nodiscard]] bool isPinned() const;

private:
    PinnedProcess(int32_t pid, UniqueFd directory) : pid_(pid), directory_(std::move(directory)) {}
    int32_t pid_;
    UniqueFd directory_;
};

// The system's own sentence for an errno value, in the user's language.
QString errorText(int errorNumber);

// Whether /proc numbers processes as this program's own pid namespace does. When it does not
// (a namespace made without a /proc of its own), the processes it lists from outside the
// namespace cannot be signalled from inside.
bool procSharesOurPidNamespace();

}  // namespace vantu::platform
