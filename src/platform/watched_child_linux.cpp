#include "platform/watched_child.h"

#include "platform/process_signal.h"
#include "platform/unique_fd.h"

#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <optional>
#include <system_error>
#include <thread>
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

// Runs in the forked child of a possibly multi-threaded process: async-signal-safe calls only.
[[noreturn]] void becomeChild(const char* path, char* const* argv, int input, int output, int report) {
    // If the app runs with a standard stream closed, one of these descriptors may be 0, 1 or
    // 2 already; lift them all above 2 before wiring the standard streams.
    report = ::fcntl(report, F_DUPFD_CLOEXEC, 3);
    const int in = ::fcntl(input, F_DUPFD, 3);
    const int out = ::fcntl(output, F_DUPFD, 3);
    int error = 0;
    if (report < 0 || in < 0 || out < 0 || ::dup2(in, STDIN_FILENO) < 0 || ::dup2(out, STDOUT_FILENO) < 0 ||
        ::dup2(out, STDERR_FILENO) < 0) {
        error = errno;
    } else {
        ::setpgid(0, 0);
        // Ignored signals and the blocked mask survive exec; the tool starts with neither.
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        struct sigaction byDefault {};
        byDefault.sa_handler = SIG_DFL;
        for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
            ::sigaction(signalNumber, &byDefault, nullptr);
        }
        rlimit files{};
        if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur > kOpenFileLimit) {
            files.rlim_cur = kOpenFileLimit;
            ::setrlimit(RLIMIT_NOFILE, &files);
        }
        // Nothing else this process holds open reaches the tool.
#ifdef CLOSE_RANGE_CLOEXEC
        ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
#endif
        ::execve(path, argv, environ);
        error = errno;
    }
    if (report >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(report, &error, sizeof error);
    }
    ::_exit(127);
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

void waitForExit(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

int millisecondsUntil(Clock::duration left) {
    const auto count = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::clamp<decltype(count)>(count, 0, INT_MAX));
}

// Drains what is available now; false at end of file or on a hard error.
bool readAvailable(int fd, QByteArray& into) {
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return n < 0 && errno == EAGAIN;
    }
}

}  // namespace

std::variant<ChildExit, LaunchFailure> runWatchedChild(const QString& program, const QStringList& arguments,
                                                       const WatchdogLimits& limits) {
    // Everything the child needs is built before the fork: it may not allocate.
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

    UniqueFd nullInput(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    if (!nullInput.valid()) {
        return launchFailure(program, errno);
    }
    auto output = makePipe();
    if (!output) {
        return launchFailure(program, errno);
    }
    // Carries the errno of a failed exec; closes unread when the exec succeeds.
    auto report = makePipe();
    if (!report) {
        return launchFailure(program, errno);
    }

    const pid_t child = ::fork();
    if (child == 0) {
        becomeChild(path.constData(), argv.data(), nullInput.get(), output->writeEnd.get(), report->writeEnd.get());
    }
    if (child < 0) {
        return launchFailure(program, errno);
    }
    const auto launched = Clock::now();
    // Also set here, so the group exists whichever side runs first.
    ::setpgid(child, child);
    output->writeEnd.reset();
    report->writeEnd.reset();
    nullInput.reset();
    ::fcntl(output->readEnd.get(), F_SETFL, O_NONBLOCK);
    ::fcntl(report->readEnd.get(), F_SETFL, O_NONBLOCK);

    const auto terminateAt = launched + limits.terminateAfter;
    const auto killAt = terminateAt + limits.killAfter;
    const auto abandonAt = killAt + limits.abandonAfter;
    ChildExit result;
    int waitStatus = 0;
    auto pause = std::chrono::microseconds(50);

    for (;;) {
        // The exit is collected only once the pipe is read to its end.
        if (!report->readEnd.valid() && !output->readEnd.valid()) {
            int status = 0;
            const pid_t rc = ::waitpid(child, &status, WNOHANG);
            if (rc == child) {
                waitStatus = status;
                break;
            }
            if (rc < 0 && errno != EINTR) {
                // Someone else reaped it (SIGCHLD ignored): how it ended is unknown.
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
            int status = 0;
            if (::waitpid(child, &status, WNOHANG) != child) {
                reapInBackground(child);
            }
            result.reason = ChildExit::Reason::abandoned;
            return result;
        }
        const auto next = !result.terminateSent ? terminateAt : !result.killSent ? killAt : abandonAt;

        if (!report->readEnd.valid() && !output->readEnd.valid()) {
            std::this_thread::sleep_for(std::min<Clock::duration>(pause, next - now));
            pause = std::min(pause * 2, std::chrono::microseconds(10'000));
            continue;
        }

        pollfd fds[2];
        nfds_t count = 0;
        for (const UniqueFd* fd : {&report->readEnd, &output->readEnd}) {
            if (fd->valid()) {
                fds[count++] = pollfd{fd->get(), POLLIN, 0};
            }
        }
        const int ready = ::poll(fds, count, millisecondsUntil(next - now));
        if (ready < 0 && errno != EINTR) {
            // Out of kernel memory: back off rather than spin until the deadlines.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (ready <= 0) {
            continue;
        }
        if (report->readEnd.valid()) {
            int error = 0;
            const ssize_t n = ::read(report->readEnd.get(), &error, sizeof error);
            if (n == static_cast<ssize_t>(sizeof error)) {
                // The child exits at once after reporting.
                waitForExit(child);
                return launchFailure(program, error);
            }
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                report->readEnd.reset();
            }
        }
        if (output->readEnd.valid() && !readAvailable(output->readEnd.get(), result.output)) {
            output->readEnd.reset();
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

}  // namespace vantu::platform
