#include "platform/watched_child.h"

#include "platform/process_signal.h"
#include "platform/unique_fd.h"

#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace vantu::platform {
namespace {

using namespace Qt::StringLiterals;
using Clock = std::chrono::steady_clock;

// lsof walks every descriptor slot up to this limit; with the huge limits some systems set
// it crawls.
constexpr rlim_t kOpenFileLimit = 1024;

struct Pipe {
    UniqueFd readEnd;
    UniqueFd writeEnd;
};

std::optional<Pipe> makePipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    return Pipe{UniqueFd(fds[0]), UniqueFd(fds[1])};
}

LaunchFailure launchFailure(const QString& program, int error) {
    return LaunchFailure{program + u": "_s + errorText(error)};
}

// The tool inherits this process's open-file limit, and lsof walks every descriptor slot up
// to it. This process never needs more than a few dozen descriptors, so the soft limit is
// lowered once for the whole process rather than in each child: that lets the tool start
// through posix_spawn, which does not copy this process's page tables as fork does.
void clampOpenFileLimit() {
    static std::once_flag once;
    std::call_once(once, [] {
        rlimit files{};
        if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur > kOpenFileLimit) {
            files.rlim_cur = kOpenFileLimit;
            ::setrlimit(RLIMIT_NOFILE, &files);
        }
    });
}

// A descriptor number above the standard streams: if the app runs with one of them closed, a
// new descriptor may be 0, 1 or 2, and wiring the child's streams would overwrite it.
UniqueFd aboveStandardStreams(UniqueFd fd) {
    if (!fd.valid() || fd.get() > STDERR_FILENO) {
        return fd;
    }
    return UniqueFd(::fcntl(fd.get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1));
}

// Starts the tool in its own process group, with default signal handling and nothing blocked
// (ignored signals and the blocked mask would otherwise survive exec), standard input from
// `input`, standard output and error into `output`, and no other descriptor of this process.
// Returns the pid, or the errno of a failed start.
struct SpawnError {
    int error;
};
std::variant<pid_t, SpawnError> spawnTool(const char* path, char* const* argv, int input, int output) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (int rc = ::posix_spawn_file_actions_init(&actions); rc != 0) {
        return SpawnError{rc};
    }
    if (int rc = ::posix_spawnattr_init(&attributes); rc != 0) {
        ::posix_spawn_file_actions_destroy(&actions);
        return SpawnError{rc};
    }
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    int rc = ::posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    rc = rc != 0 ? rc : ::posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    rc = rc != 0 ? rc : ::posix_spawn_file_actions_adddup2(&actions, output, STDERR_FILENO);
    rc = rc != 0 ? rc : ::posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    rc = rc != 0 ? rc
                 : ::posix_spawnattr_setflags(&attributes,
                                              POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    rc = rc != 0 ? rc : ::posix_spawnattr_setpgroup(&attributes, 0);
    rc = rc != 0 ? rc : ::posix_spawnattr_setsigmask(&attributes, &none);
    rc = rc != 0 ? rc : ::posix_spawnattr_setsigdefault(&attributes, &all);
    pid_t child = -1;
    rc = rc != 0 ? rc : ::posix_spawn(&child, path, &actions, &attributes, argv, environ);
    ::posix_spawnattr_destroy(&attributes);
    ::posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return SpawnError{rc};
    }
    return child;
}

// The child is not reaped yet, so neither its pid nor its group id can name anyone else.
void signalGroup(pid_t child, int signalNumber) {
    if (::kill(-child, signalNumber) != 0) {
        ::kill(child, signalNumber);
    }
}

// A child that outlives SIGKILL (uninterruptible sleep) is reaped whenever it finally dies,
// without holding up the caller.
void reapInBackground(pid_t child) {
    try {
        std::thread([child] {
            int status = 0;
            while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: it stays a zombie until the app exits.
    }
}

// Collects a killed child now if it is already gone, else in the background.
void reap(pid_t child) {
    int status = 0;
    if (::waitpid(child, &status, WNOHANG) != child) {
        reapInBackground(child);
    }
}

int millisecondsUntil(Clock::duration left) {
    const auto count = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::clamp<decltype(count)>(count, 0, INT_MAX));
}

// Reads what one call gives; false at end of file or on a hard error. One read per wake-up,
// so a child that writes without pause cannot keep the loop from its deadlines.
bool readSome(int fd, QByteArray& into) {
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, n);
            return true;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return n < 0 && errno == EAGAIN;
    }
}

}  // namespace

std::variant<WatchedChild, LaunchFailure> WatchedChild::start(const QString& program, const QStringList& arguments,
                                                              const WatchdogLimits& limits) {
    // Everything the child needs is built before the spawn: it may not allocate.
    const QByteArray path = QFile::encodeName(program);
    std::vector<QByteArray> words{path};
    for (const QString& argument : arguments) {
        words.push_back(argument.toLocal8Bit());
    }
    std::vector<char*> argv;
    for (QByteArray& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    UniqueFd nullInput = aboveStandardStreams(UniqueFd(::open("/dev/null", O_RDONLY | O_CLOEXEC)));
    if (!nullInput.valid()) {
        return launchFailure(program, errno);
    }
    auto output = makePipe();
    if (!output) {
        return launchFailure(program, errno);
    }
    output->readEnd = aboveStandardStreams(std::move(output->readEnd));
    output->writeEnd = aboveStandardStreams(std::move(output->writeEnd));
    if (!output->readEnd.valid() || !output->writeEnd.valid()) {
        return launchFailure(program, errno);
    }

    clampOpenFileLimit();
    const auto spawned = spawnTool(path.constData(), argv.data(), nullInput.get(), output->writeEnd.get());
    if (const auto* failed = std::get_if<SpawnError>(&spawned)) {
        return launchFailure(program, failed->error);
    }
    ::fcntl(output->readEnd.get(), F_SETFL, O_NONBLOCK);
    return WatchedChild(std::get<pid_t>(spawned), output->readEnd.release(), limits);
}

WatchedChild::WatchedChild(int pid, int outputFd, const WatchdogLimits& limits)
    : pid_(pid), output_(outputFd), launched_(Clock::now()), limits_(limits) {}

WatchedChild::WatchedChild(WatchedChild&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      output_(std::exchange(other.output_, -1)),
      launched_(other.launched_),
      limits_(other.limits_) {}

WatchedChild& WatchedChild::operator=(WatchedChild&& other) noexcept {
    if (this != &other) {
        abandon();
        pid_ = std::exchange(other.pid_, -1);
        output_ = std::exchange(other.output_, -1);
        launched_ = other.launched_;
        limits_ = other.limits_;
    }
    return *this;
}

WatchedChild::~WatchedChild() {
    abandon();
}

void WatchedChild::abandon() {
    UniqueFd output(std::exchange(output_, -1));
    const pid_t child = std::exchange(pid_, -1);
    if (child <= 0) {
        return;
    }
    signalGroup(child, SIGKILL);
    reap(child);
}

ChildExit WatchedChild::finish() {
    ChildExit result;
    if (pid_ <= 0) {
        result.reason = ChildExit::Reason::abandoned;
        return result;
    }
    const pid_t child = pid_;
    UniqueFd readEnd(std::exchange(output_, -1));
    const auto terminateAt = launched_ + limits_.terminateAfter;
    const auto killAt = terminateAt + limits_.killAfter;
    const auto abandonAt = killAt + limits_.abandonAfter;
    int waitStatus = 0;
    auto pause = std::chrono::microseconds(50);

    for (;;) {
        // The exit is collected only once the pipe is read to its end.
        if (!readEnd.valid()) {
            int status = 0;
            const pid_t rc = ::waitpid(child, &status, WNOHANG);
            if (rc == child) {
                pid_ = -1;
                waitStatus = status;
                break;
            }
            if (rc < 0 && errno != EINTR) {
                // Someone else reaped it (SIGCHLD ignored): how it ended is unknown.
                pid_ = -1;
                result.reason = ChildExit::Reason::abandoned;
                return result;
            }
        }

        const auto now = Clock::now();
        if (!result.terminateSent && now >= terminateAt) {
            signalGroup(child, SIGTERM);
            result.terminateSent = true;
        }
        if (!result.killSent && now >= killAt) {
            signalGroup(child, SIGKILL);
            result.killSent = true;
        }
        if (now >= abandonAt) {
            pid_ = -1;
            reap(child);
            result.reason = ChildExit::Reason::abandoned;
            return result;
        }
        const auto next = !result.terminateSent ? terminateAt : !result.killSent ? killAt : abandonAt;

        if (!readEnd.valid()) {
            std::this_thread::sleep_for(std::min<Clock::duration>(pause, next - now));
            pause = std::min(pause * 2, std::chrono::microseconds(10'000));
            continue;
        }

        pollfd pipe{readEnd.get(), POLLIN, 0};
        const int ready = ::poll(&pipe, 1, millisecondsUntil(next - now));
        if (ready < 0 && errno != EINTR) {
            // Out of kernel memory: back off rather than spin until the deadlines.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (ready <= 0) {
            continue;
        }
        if (!readSome(readEnd.get(), result.output)) {
            readEnd.reset();
        } else if (result.output.size() > limits_.maxOutput) {
            signalGroup(child, SIGKILL);
            result.killSent = true;
            result.outputOverflowed = true;
            result.output.clear();
            readEnd.reset();
        }
    }

    if (WIFSIGNALED(waitStatus)) {
        result.reason = ChildExit::Reason::signalled;
        result.signalNumber = WTERMSIG(waitStatus);
    } else {
        result.reason = ChildExit::Reason::exited;
        result.exitStatus = WEXITSTATUS(waitStatus);
    }
    return result;
}

std::variant<ChildExit, LaunchFailure> runWatchedChild(const QString& program, const QStringList& arguments,
                                                       const WatchdogLimits& limits) {
    auto started = WatchedChild::start(program, arguments, limits);
    if (auto* failure = std::get_if<LaunchFailure>(&started)) {
        return std::move(*failure);
    }
    return std::get<WatchedChild>(started).finish();
}

}  // namespace vantu::platform
