// A tiny stand-in for a development server: listens on loopback and waits to be stopped.
//
//   test_listener [--host 127.0.0.1|::1|both] [--chdir DIR] [--ignore-term] [--undumpable]
//                 [--reuseport] [--fork] [--hand-off-on-term] [--main-thread-exits]
//                 [--unix PATH]... [PORT...]
//
// Each PORT (0 for any free port) gets one listening socket; with --host both, an IPv4 and
// an IPv6 socket on the same port. Prints "PORT p1 p2 ...\n" once everything listens. With
// --fork, a child that shares every socket is started too (it dies with its parent) and the
// line ends in "CHILD pid". With --hand-off-on-term, SIGTERM makes it start a child that keeps
// every socket and lives on, then exit: the way some servers restart themselves. With
// --main-thread-exits, the first thread ends once everything listens and a second thread keeps
// the process (and its sockets) alive, as when a runtime's main thread returns early. Each --unix
// PATH adds a local socket there, its folder made (mode 0700) where there is none.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool reusePort = false;

void handOff(int) {
    if (::fork() == 0) {
        for (;;) {
            ::pause();
        }
    }
    ::_exit(0);
}

[[noreturn]] void die(const char* what) {
    std::perror(what);
    std::exit(3);
}

int listenOn(int family, int port) {
    const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        die("socket");
    }
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (reusePort) {
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &one, sizeof one);
    }
    int rc = 0;
    if (family == AF_INET) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        rc = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    } else {
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_port = htons(static_cast<uint16_t>(port));
        address.sin6_addr = in6addr_loopback;
        rc = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    if (rc != 0) {
        die("bind");
    }
    if (::listen(fd, 16) != 0) {
        die("listen");
    }
    return fd;
}

void listenAt(const std::string& path) {
    ::mkdir(path.substr(0, path.rfind('/')).c_str(), 0700);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0) {
        die("local socket");
    }
}

int boundPort(int fd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        die("getsockname");
    }
    if (address.ss_family == AF_INET) {
        return ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    }
    return ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
}

}  // namespace

int main(int argc, char** argv) {
    std::string host = "127.0.0.1";
    std::vector<int> ports;
    bool forkSharer = false;
    bool mainThreadExits = false;
    // A thousand sockets need more than the usual 1024 descriptors.
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--host" && i + 1 < argc) {
            host = argv[++i];
        } else if (arg == "--chdir" && i + 1 < argc) {
            if (::chdir(argv[++i]) != 0) {
                die("chdir");
            }
        } else if (arg == "--undumpable") {
            ::prctl(PR_SET_DUMPABLE, 0);
        } else if (arg == "--reuseport") {
            reusePort = true;
        } else if (arg == "--hand-off-on-term") {
            std::signal(SIGTERM, handOff);
        } else if (arg == "--main-thread-exits") {
            mainThreadExits = true;
        } else if (arg == "--fork") {
            forkSharer = true;
        } else if (arg == "--unix" && i + 1 < argc) {
            listenAt(argv[++i]);
        } else if (arg == "--ignore-term") {
            std::signal(SIGTERM, SIG_IGN);
        } else {
            ports.push_back(std::atoi(arg.c_str()));
        }
    }
    if (ports.empty()) {
        ports.push_back(0);
    }
    std::string line = "PORT";
    for (const int requested : ports) {
        int port = requested;
        if (host == "127.0.0.1" || host == "both") {
            port = boundPort(listenOn(AF_INET, port));
        }
        if (host == "::1" || host == "both") {
            port = boundPort(listenOn(AF_INET6, port));
        }
        line += ' ';
        line += std::to_string(port);
    }
    if (forkSharer) {
        const pid_t child = ::fork();
        if (child < 0) {
            die("fork");
        }
        if (child == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            for (;;) {
                ::pause();
            }
        }
        line += " CHILD " + std::to_string(child);
    }
    line += "\n";
    if (::write(STDOUT_FILENO, line.data(), line.size()) < 0) {
        die("write");
    }
    if (mainThreadExits) {
        pthread_t worker{};
        if (::pthread_create(
                &worker, nullptr,
                [](void*) -> void* {
                    for (;;) {
                        ::pause();
                    }
                },
                nullptr) != 0) {
            die("pthread_create");
        }
        ::pthread_exit(nullptr);
    }
    for (;;) {
        ::pause();
    }
}
