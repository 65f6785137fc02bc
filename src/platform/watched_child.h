#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <variant>

namespace vantu::platform {

// When the watchdog of one child run steps in, each measured from the step before.
struct WatchdogLimits {
    // From launch until the child is asked to terminate (SIGTERM).
    std::chrono::milliseconds terminateAfter{5000};
    // From that request until it is killed (SIGKILL).
    std::chrono::milliseconds killAfter{500};
    // From the kill until the run stops waiting. A child in uninterruptible sleep outlives
    // SIGKILL; it is then left to a background reaper instead of blocking the caller.
    std::chrono::milliseconds abandonAfter{500};
    // Past this much output the child is killed and the rest of its output is not read.
    qsizetype maxOutput = 16 * 1024 * 1024;
};

// How a watched child ended, and everything it wrote.
struct ChildExit {
    enum class Reason {
        exited,     // by itself, with `exitStatus`
        signalled,  // by `signalNumber`, from the watchdog or anyone else
        abandoned,  // it (or a process holding its output pipe) outlived the kill
    };
    Reason reason = Reason::exited;
    int exitStatus = 0;
    int signalNumber = 0;
    // Standard output and standard error, interleaved as written.
    QByteArray output;
    // Whether the watchdog asked it to terminate, and whether it then killed it.
    bool terminateSent = false;
    bool killSent = false;
    // It wrote more than the limit allows, and was killed for it.
    bool outputOverflowed = false;
};

// The child could not be started; the system's own words for why.
struct LaunchFailure {
    QString description;
};

// A child process started under a watchdog whose clock starts at launch. The caller may do
// other work while it runs (its output waits in the pipe), then calls finish(). The child
// leads its own process group and the watchdog signals that group, so helpers the child
// started cannot keep the pipe open past a kill. The first start lowers this process's soft
// open-file limit to 1024, which the child inherits. Shares nothing with other runs.
class WatchedChild {
public:
    // Starts `program` (an absolute path, never searched for) with `arguments`, standard input
    // from the null device, standard output and error into one pipe, the environment and
    // working directory inherited.
    static std::variant<WatchedChild, LaunchFailure> start(const QString& program, const QStringList& arguments,
                                                           const WatchdogLimits& limits);

    WatchedChild(WatchedChild&& other) noexcept;
    WatchedChild& operator=(WatchedChild&& other) noexcept;
    WatchedChild(const WatchedChild&) = delete;
    WatchedChild& operator=(const WatchedChild&) = delete;
    // A child that was never finished is killed and reaped: nobody is left to read it.
    ~WatchedChild();

    // Reads the pipe to its end, then waits for the exit, under the watchdog. Blocks the
    // calling thread. Call once.
    ChildExit finish();

private:
    WatchedChild(int pid, int outputFd, const WatchdogLimits& limits);
    void abandon();

    int pid_ = -1;
    int output_ = -1;
    std::chrono::steady_clock::time_point launched_;
    WatchdogLimits limits_;
};

// Starts the child and finishes it at once.
std::variant<ChildExit, LaunchFailure> runWatchedChild(const QString& program, const QStringList& arguments,
                                                       const WatchdogLimits& limits);

}  // namespace vantu::platform
