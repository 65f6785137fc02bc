#pragma once

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <vector>

namespace vantu::bench {

// A busy desktop's process table: `processes` idle children of this user that each hold about
// `descriptorsEach` open descriptors (browser tabs, editors, language servers), none of them a
// listening socket. Kills and reaps them on destruction; they also die with this process.
class BusyDesktop {
public:
    BusyDesktop(int processes, int descriptorsEach) {
        // Opened once here and inherited by every child, so each holds its own references.
        std::vector<int> held;
        for (int i = 0; i < descriptorsEach; ++i) {
            const int fd = ::open("/dev/null", O_RDONLY);
            if (fd < 0) {
                break;
            }
            held.push_back(fd);
        }
        const pid_t parent = ::getpid();
        for (int i = 0; i < processes; ++i) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::prctl(PR_SET_PDEATHSIG, SIGKILL);
                if (::getppid() != parent) {
                    ::_exit(0);
                }
                for (;;) {
                    ::pause();
                }
            }
            if (pid < 0) {
                break;
            }
            children_.push_back(pid);
        }
        for (const int fd : held) {
            ::close(fd);
        }
    }
    BusyDesktop(const BusyDesktop&) = delete;
    BusyDesktop& operator=(const BusyDesktop&) = delete;
    ~BusyDesktop() {
        for (const pid_t pid : children_) {
            ::kill(pid, SIGKILL);
        }
        for (const pid_t pid : children_) {
            ::waitpid(pid, nullptr, 0);
        }
    }

    [[nodiscard]] size_t size() const { return children_.size(); }

private:
    std::vector<pid_t> children_;
};

}  // namespace vantu::bench
