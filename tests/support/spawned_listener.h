#pragma once

#include <QString>
#include <QStringList>

#include <sys/types.h>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace vantu::test {

// A real test listener process on loopback, started for one test and killed when it ends.
class SpawnedListener {
public:
    struct Options {
        QString host = QStringLiteral("127.0.0.1");  // "127.0.0.1", "::1" or "both"
        std::vector<uint16_t> ports{0};              // 0: any free port
        std::optional<QString> workingDirectory;
        bool ignoreTerm = false;
        // Not dumpable, as a setuid program is: the system then shows its /proc entry as root's.
        bool undumpable = false;
        // The process's command name as the listing tool reports it (e.g. "node"); the
        // program is started through a link of that name.
        std::optional<QString> commandName;
        // A copy of the test listener program to run instead, e.g. one placed in a folder that
        // looks like a system folder.
        std::optional<QString> program;
        // Run as this user (needs root), e.g. "nobody".
        std::optional<QString> user;
        // SO_REUSEPORT on every socket, so another such listener can share the port.
        bool reusePort = false;
        // Also start a child that holds the same sockets (and dies with the listener).
        bool forkSharer = false;
        // On SIGTERM, start a child that keeps the sockets, then exit.
        bool handOffOnTerm = false;
        // Once listening, end the first thread and leave a second one holding the sockets.
        bool mainThreadExits = false;
        // Also listen on a local socket at each of these paths, making each one's folder.
        QStringList localSockets;
    };

    static SpawnedListener start(const Options& options);
    static SpawnedListener start() { return start(Options{}); }

    SpawnedListener(SpawnedListener&& other) noexcept;
    SpawnedListener& operator=(SpawnedListener&&) = delete;
    SpawnedListener(const SpawnedListener&) = delete;
    ~SpawnedListener();

    [[nodiscard]] pid_t pid() const { return pid_; }
    [[nodiscard]] const std::vector<uint16_t>& ports() const { return ports_; }
    [[nodiscard]] uint16_t port() const { return ports_.front(); }
    // The child that shares the sockets, with forkSharer; -1 otherwise.
    [[nodiscard]] pid_t sharerPid() const { return sharerPid_; }

    // Waits up to `limit` for the process to exit; true when it has (it is then reaped).
    bool waitForExit(std::chrono::milliseconds limit);
    // Whether it has exited (reaps it if so).
    bool hasExited();
    // Waits up to `limit` for the process to end and reaps it: the signal that ended it, 0 when
    // it exited by itself, nullopt while it still runs.
    std::optional<int> waitForEndingSignal(std::chrono::milliseconds limit);
    // Kills and reaps the process now.
    void kill();

private:
    SpawnedListener() = default;
    pid_t pid_ = -1;
    pid_t sharerPid_ = -1;
    bool reaped_ = false;
    std::vector<uint16_t> ports_;
    QString linkFolder_;
};

// Path of the test listener program built next to the tests.
QString testListenerProgram();
// Whether the tests run as root (needed to start processes as another user).
bool runningAsRoot();

}  // namespace vantu::test
