#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <vector>

namespace vantu::bench {

// Forks `count` children that each listen on a free loopback port, so a real listing has
// something to describe even on an idle machine. Kills and reaps them on destruction.
class ForkedListeners {
public:
    explicit ForkedListeners(int count) {
        for (int i = 0; i < count; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
                ::listen(fd, 4) != 0) {
                break;
            }
            const pid_t pid = ::fork();
            if (pid == 0) {
                for (;;) {
                    ::pause();
                }
            }
            ::close(fd);
            children_.push_back(pid);
        }
    }
    ForkedListeners(const ForkedListeners&) = delete;
    ForkedListeners& operator=(const ForkedListeners&) = delete;
    ~ForkedListeners() {
        for (const pid_t pid : children_) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

private:
    std::vector<pid_t> children_;
};

}  // namespace vantu::bench
