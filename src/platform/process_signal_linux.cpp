#include "platform/process_signal.h"

#include "platform/proc_reader_linux.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

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

// Whether /proc numbers processes as this program's own pid namespace does; only then may a
// pid read from it be passed to kill().
bool procSharesOurPidNamespace() {
    char target[32] = {};
    const ssize_t n = ::readlink("/proc/self", target, sizeof target - 1);
    return n > 0 && proc::parseUnsigned(QByteArrayView(target, n)) == static_cast<uint64_t>(::getpid());
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
    // An older kernel: the pid is all there is, and it means something only if /proc and this
    // program count processes alike.
    if (!procSharesOurPidNamespace()) {
        return ESRCH;
    }
    return ::kill(static_cast<pid_t>(pid_), signalNumber) == 0 ? 0 : errno;
}

QString errorText(int errorNumber) {
    char buffer[256];
    // The GNU strerror_r returns either its own static text or the buffer.
    const char* text = ::strerror_r(errorNumber, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}

}  // namespace vantu::platform
