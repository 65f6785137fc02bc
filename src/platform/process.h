#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// Facts about live processes, read from the operating system. Everything here may be
// called from any thread and never throws; a process that is gone or that the system
// refuses to describe yields nullopt.
namespace vantu::platform {

struct ProcessFacts {
    uint32_t effectiveUid = 0;
    uint64_t startSeconds = 0;
    uint64_t startMicroseconds = 0;

    friend bool operator==(const ProcessFacts&, const ProcessFacts&) = default;
};

// What a process is and who started it, all read from one instance.
struct ProcessSummary {
    ProcessFacts facts;
    int32_t parentPid = 0;
    // The kernel's command name (at most 15 bytes).
    QString command;
};
std::optional<ProcessSummary> describeProcess(int32_t pid);

// Where a process stands among the processes of its terminal, read from one instance together
// with its facts: its process group (what Ctrl+C signals), its session, and its controlling
// terminal (0 when it has none).
struct ProcessPlace {
    ProcessFacts facts;
    int32_t parentPid = 0;
    int32_t processGroup = 0;
    int32_t session = 0;
    int64_t terminal = 0;
    QString command;
};
std::optional<ProcessPlace> placeOf(int32_t pid);

// The pids of the processes in each of the process groups, as /proc lists them now, in one pass
// over /proc: group → its members' pids.
std::unordered_map<int32_t, std::vector<int32_t>> processGroupMembers(const std::unordered_set<int32_t>& groups);

// The command line, its arguments joined by spaces; at most `maxBytes` of it are read.
std::optional<QString> commandLine(int32_t pid, int maxBytes = 4096);

// The command line as the program was given it, one entry per argument (at most `maxBytes`
// of it are read).
std::optional<QStringList> arguments(int32_t pid, int maxBytes = 4096);

// Whether the process reads its standard input from a terminal.
bool readsFromTerminal(int32_t pid);

// The text of the process's control group membership (/proc/<pid>/cgroup).
std::optional<QByteArray> controlGroups(int32_t pid);

// The processes the process has started and that still run (or wait to be reaped).
std::vector<int32_t> childrenOf(int32_t pid);

// Owner and start time of one process instance. Both come from the same instance even if
// the pid is recycled while they are read.
std::optional<ProcessFacts> readProcessFacts(int32_t pid);

// The resident memory of the process instance that `expected` describes; nullopt when that
// instance is gone or the system will not say.
std::optional<uint64_t> residentBytes(int32_t pid, const ProcessFacts& expected);

// Absolute path of the process's executable.
std::optional<QString> executablePath(int32_t pid);

// Absolute current working directory; nullopt when it was deleted or cannot be read.
std::optional<QString> workingDirectory(int32_t pid);

// The pids of the processes whose effective uid is `uid`, as /proc lists them now.
std::vector<int32_t> processesOf(uint32_t uid);

// The command name the kernel keeps for the process (its first 15 bytes), as listing tools
// report it.
std::optional<QString> commandName(int32_t pid);

int32_t currentPid();
uint32_t currentUid();

}  // namespace vantu::platform
