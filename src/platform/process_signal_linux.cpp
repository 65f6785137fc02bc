#include "platform/process_signal.h"

#include "platform/proc_reader_linux.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

namespace vantu::platform {
namespace {

// glibc 2.36's <sys/pidfd.h> wrappers do not link from C++, so the call goes through syscall().
// It takes a /proc/<pid> directory as well as a pidfd.
long signalThrough(int handle, int signalNumber) {
    return ::syscall(SYS_pidfd_send_signal, handle, signalNumber, nullptr, 0U);
}

// Whether the kernel can signal through a handle: signal 0 on our own directory reaches no one.
bool kernelSignalsThroughHandles() {
    UniqueFd self(::open("/proc/self", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return !(self.valid() && signalThrough(self.get(), 0) != 0 && errno == ENOSYS);
}

// The pid that /proc gives the process behind a pidfd, from the pidfd's own description.
std::optional<int32_t> pidBehind(int pidfd) {
    char path[48];
    std::snprintf(path, sizeof path, "/proc/self/fdinfo/%d", pidfd);
    UniqueFd info(::open(path, O_RDONLY | O_CLOEXEC));
    const auto text = info.valid() ? proc::readAll(info.get()) : std::nullopt;
    if (!text) {
        return std::nullopt;
    }
    for (const QByteArray& line : text->split('\n')) {
        if (line.startsWith("Pid:")) {
            const auto pid = proc::parseUnsigned(QByteArrayView(line).sliced(4).trimmed());
            return pid && *pid <= INT32_MAX ? std::optional(static_cast<int32_t>(*pid)) : std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace

std::variant<PinnedProcess, int> PinnedProcess::pin(int32_t pid) {
    if (pid <= 0) {
        return EINVAL;
    }
    char path[32];
    std::snprintf(path, sizeof path, "/proc/%d", pid);
    UniqueFd directory(::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!directory.valid()) {
        return errno == ENOENT ? ESRCH : errno;
    }
    return PinnedProcess(pid, std::move(directory));
}

std::optional<ProcessFacts> PinnedProcess::facts() const {
    return proc::factsAt(directory_.get());
}

bool PinnedProcess::isRunning() const {
    return proc::isLiveAt(directory_.get());
}

bool PinnedProcess::waitForExit(std::chrono::milliseconds limit) const {
    if (!isRunning()) {
        return true;
    }
    // A pidfd becomes readable when its process ends. It is numbered by this program's pid
    // namespace, so it counts only if /proc names the same process by the same pid, while the
    // pinned directory still shows that process alive.
    const long fd = ::syscall(SYS_pidfd_open, static_cast<pid_t>(pid_), 0U);
    const UniqueFd pidfd(static_cast<int>(fd));
    if (pidfd.valid() && pidBehind(pidfd.get()) == pid_ && isRunning()) {
        pollfd ended{pidfd.get(), POLLIN, 0};
        const int ready = ::poll(&ended, 1, static_cast<int>(limit.count()));
        return ready > 0 || !isRunning();
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (isRunning()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool PinnedProcess::ignores(int signalNumber) const {
    const auto status = proc::readAt(directory_.get(), "status");
    if (!status || signalNumber < 1 || signalNumber > 64) {
        return false;
    }
    for (const QByteArray& line : status->split('\n')) {
        if (line.startsWith("SigIgn:")) {
            bool ok = false;
            const qulonglong mask = line.mid(7).trimmed().toULongLong(&ok, 16);
            return ok && (mask >> (signalNumber - 1) & 1U) != 0;
        }
    }
    return false;
}

bool PinnedProcess::isPinned() const {
    return kernelSignalsThroughHandles();
}

int PinnedProcess::sendSignal(int signalNumber) const {
    if (signalThrough(directory_.get(), signalNumber) == 0) {
        return 0;
    }
    if (errno != ENOSYS) {
        return errno;
    }
    // An older kernel: the pid is all there is, and it may be passed to kill() only if /proc and
    // this program count processes alike.
    if (!procSharesOurPidNamespace()) {
        return ESRCH;
    }
    return ::kill(static_cast<pid_t>(pid_), signalNumber) == 0 ? 0 : errno;
}

bool procSharesOurPidNamespace() {
    char target[32] = {};
    const ssize_t n = ::readlink("/proc/self", target, sizeof target - 1);
    return n > 0 && proc::parseUnsigned(QByteArrayView(target, n)) == static_cast<uint64_t>(::getpid());
}

QString errorText(int errorNumber) {
    char buffer[256];
    // The GNU strerror_r returns either its own static text or the buffer.
    const char* text = ::strerror_r(errorNumber, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}

}  // namespace vantu::platform
