#include "platform/process_signal.h"

#include <sys/syscall.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace vantu::platform {

// glibc 2.36's <sys/pidfd.h> wrappers do not link from C++, so both calls go through syscall().
std::variant<PinnedProcess, int> PinnedProcess::pin(int32_t pid) {
    if (pid <= 0) {
        return EINVAL;
    }
    const long fd = ::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0U);
    if (fd >= 0) {
        // pidfds are close-on-exec, so a listing tool started meanwhile does not inherit it.
        return PinnedProcess(pid, UniqueFd(static_cast<int>(fd)));
    }
    const int error = errno;
    if (error == ENOSYS) {
        return PinnedProcess(pid, UniqueFd());
    }
    return error;
}

int PinnedProcess::sendSignal(int signalNumber) const {
    const long rc = pidfd_.valid() ? ::syscall(SYS_pidfd_send_signal, pidfd_.get(), signalNumber, nullptr, 0U)
                                   : ::kill(static_cast<pid_t>(pid_), signalNumber);
    return rc == 0 ? 0 : errno;
}

QString errorText(int errorNumber) {
    char buffer[256];
    // The GNU strerror_r returns either its own static text or the buffer.
    const char* text = ::strerror_r(errorNumber, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}

}  // namespace vantu::platform
