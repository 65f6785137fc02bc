#include "spawned_listener.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

extern char** environ;

namespace vantu::test {
namespace {

std::string readLineWithin(int fd, std::chrono::milliseconds limit) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (line.find('\n') == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            throw std::runtime_error("test listener did not report its ports in time");
        }
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            throw std::runtime_error("test listener exited before listening");
        }
        line.append(buffer, static_cast<size_t>(n));
    }
    return line;
}

}  // namespace

QString testListenerProgram() {
    return QStringLiteral(VANTU_TEST_LISTENER_PATH);
}

bool runningAsRoot() {
    return ::geteuid() == 0;
}

SpawnedListener SpawnedListener::start(const Options& options) {
    SpawnedListener child;
    QString program = options.program.value_or(testListenerProgram());
    if (options.commandName) {
        // A world-readable folder, so a process run as another user can exec the link too.
        child.linkFolder_ = QDir::tempPath() + QStringLiteral("/vantu-link-") + QString::number(::getpid()) +
                            QLatin1Char('-') + QString::number(reinterpret_cast<quintptr>(&child)) + QLatin1Char('-') +
                            QString::number(std::chrono::steady_clock::now().time_since_epoch().count());
        QDir().mkpath(child.linkFolder_);
        QFile::setPermissions(child.linkFolder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                     QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup |
                                                     QFile::ExeGroup);
        const QString link = child.linkFolder_ + QLatin1Char('/') + *options.commandName;
        if (!QFile::link(program, link)) {
            throw std::runtime_error("cannot link the test listener");
        }
        program = link;
    }

    std::vector<std::string> args;
    if (options.user) {
        args = {"/usr/bin/setpriv", "--reuid=" + options.user->toStdString(), "--regid=nogroup", "--clear-groups"};
    }
    args.push_back(program.toStdString());
    args.push_back("--host");
    args.push_back(options.host.toStdString());
    if (options.workingDirectory) {
        args.push_back("--chdir");
        args.push_back(options.workingDirectory->toStdString());
    }
    if (options.ignoreTerm) {
        args.push_back("--ignore-term");
    }
    if (options.undumpable) {
        args.push_back("--undumpable");
    }
    if (options.reusePort) {
        args.push_back("--reuseport");
    }
    if (options.forkSharer) {
        args.push_back("--fork");
    }
    if (options.handOffOnTerm) {
        args.push_back("--hand-off-on-term");
    }
    if (options.mainThreadExits) {
        args.push_back("--main-thread-exits");
    }
    for (const QString& path : options.localSockets) {
        args.insert(args.end(), {"--unix", path.toStdString()});
    }
    for (const uint16_t port : options.ports) {
        args.push_back(std::to_string(port));
    }
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (rc != 0) {
        ::close(pipeFds[0]);
        throw std::runtime_error(std::string("posix_spawn failed: ") + std::strerror(rc));
    }
    child.pid_ = pid;
    try {
        const std::string line = readLineWithin(pipeFds[0], std::chrono::seconds(10));
        ::close(pipeFds[0]);
        const auto words = QString::fromStdString(line).simplified().split(QLatin1Char(' '));
        for (qsizetype i = 1; i < words.size(); ++i) {
            if (words.at(i) == QLatin1StringView("CHILD") && i + 1 < words.size()) {
                child.sharerPid_ = static_cast<pid_t>(words.at(i + 1).toInt());
                break;
            }
            child.ports_.push_back(static_cast<uint16_t>(words.at(i).toUInt()));
        }
    } catch (...) {
        ::close(pipeFds[0]);
        child.kill();
        throw;
    }
    return child;
}

SpawnedListener::SpawnedListener(SpawnedListener&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      sharerPid_(other.sharerPid_),
      reaped_(other.reaped_),
      ports_(std::move(other.ports_)),
      linkFolder_(std::move(other.linkFolder_)) {
    other.linkFolder_.clear();
}

SpawnedListener::~SpawnedListener() {
    kill();
    if (!linkFolder_.isEmpty()) {
        QDir(linkFolder_).removeRecursively();
    }
}

bool SpawnedListener::hasExited() {
    if (pid_ < 0 || reaped_) {
        return true;
    }
    int status = 0;
    const pid_t rc = ::waitpid(pid_, &status, WNOHANG);
    if (rc == pid_ || (rc < 0 && errno == ECHILD)) {
        reaped_ = true;
    }
    return reaped_;
}

std::optional<int> SpawnedListener::waitForEndingSignal(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    do {
        int status = 0;
        if (pid_ >= 0 && !reaped_ && ::waitpid(pid_, &status, WNOHANG) == pid_) {
            reaped_ = true;
            return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
}

bool SpawnedListener::waitForExit(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!hasExited()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void SpawnedListener::kill() {
    if (pid_ < 0 || reaped_) {
        return;
    }
    ::kill(pid_, SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
}

}  // namespace vantu::test
