#include "platform/process.h"

#include "platform/unique_fd.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdint>

namespace vantu::platform {
namespace {

// /proc files report size 0, so read until end of file.
std::optional<QByteArray> readAll(int fd) {
    QByteArray content;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (n == 0) {
            return content;
        }
        content.append(buffer, n);
    }
}

// Reads a small /proc file relative to a directory fd.
std::optional<QByteArray> readAt(int dirFd, const char* name) {
    UniqueFd fd(::openat(dirFd, name, O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        return std::nullopt;
    }
    return readAll(fd.get());
}

std::optional<uint64_t> parseUnsigned(QByteArrayView text) {
    if (text.isEmpty()) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        const auto digit = static_cast<uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

// Boot time in whole seconds. Read once per run: start times derived from it must stay
// comparable between reads, and the kernel's figure can drift by a second as the clock is
// adjusted.
std::optional<uint64_t> bootTime() {
    static const std::optional<uint64_t> cached = []() -> std::optional<uint64_t> {
        UniqueFd proc(::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!proc.valid()) {
            return std::nullopt;
        }
        const auto stat = readAt(proc.get(), "stat");
        if (!stat) {
            return std::nullopt;
        }
        for (const QByteArray& line : stat->split('\n')) {
            if (line.startsWith("btime ")) {
                return parseUnsigned(QByteArrayView(line).sliced(6).trimmed());
            }
        }
        return std::nullopt;
    }();
    return cached;
}

uint64_t clockTicksPerSecond() {
    static const uint64_t ticks = [] {
        const long value = ::sysconf(_SC_CLK_TCK);
        return value > 0 ? static_cast<uint64_t>(value) : uint64_t{100};
    }();
    return ticks;
}

// Field 22 of /proc/<pid>/stat. The command name (field 2) may hold spaces and
// parentheses, so count fields from the last ')'.
std::optional<uint64_t> startTicks(QByteArrayView stat) {
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0) {
        return std::nullopt;
    }
    // Walk the white-space separated fields after ')', which start at field 3.
    constexpr int kStartTimeField = 22;
    int field = 2;
    qsizetype position = close + 1;
    while (position < stat.size()) {
        while (position < stat.size() && stat[position] <= ' ') {
            ++position;
        }
        qsizetype end = position;
        while (end < stat.size() && stat[end] > ' ') {
            ++end;
        }
        if (end == position) {
            break;
        }
        if (++field == kStartTimeField) {
            return parseUnsigned(stat.sliced(position, end - position));
        }
        position = end;
    }
    return std::nullopt;
}

// The owner of a /proc entry is the process's effective uid (the directory's always; the
// files' unless the process is not dumpable). Asking for it costs far less than having the
// kernel write out the whole status file.
std::optional<uint32_t> ownerOf(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(info.st_uid);
}

QByteArray procPath(int32_t pid, const char* leaf = nullptr) {
    QByteArray path = "/proc/" + QByteArray::number(pid);
    if (leaf != nullptr) {
        path += '/';
        path += leaf;
    }
    return path;
}

std::optional<QString> readLink(const QByteArray& path) {
    QByteArray target(4096, Qt::Uninitialized);
    const ssize_t n = ::readlink(path.constData(), target.data(), static_cast<size_t>(target.size()));
    if (n <= 0 || n >= target.size()) {
        return std::nullopt;
    }
    target.truncate(n);
    if (!target.startsWith('/')) {
        return std::nullopt;
    }
    return QString::fromUtf8(target);
}

std::optional<ProcessFacts> factsFrom(QByteArrayView stat, uint32_t owner) {
    const auto ticks = startTicks(stat);
    const auto boot = bootTime();
    if (!ticks || !boot) {
        return std::nullopt;
    }
    const uint64_t hz = clockTicksPerSecond();
    return ProcessFacts{
        .effectiveUid = owner,
        .startSeconds = *boot + *ticks / hz,
        .startMicroseconds = (*ticks % hz) * 1'000'000 / hz,
    };
}

}  // namespace

std::optional<ProcessFacts> readProcessFacts(int32_t pid) {
    if (pid <= 0) {
        return std::nullopt;
    }
    // Both facts come through one descriptor, so they describe one process instance even if
    // the pid is handed to a new process meanwhile: once a process is reaped, reads through
    // descriptors opened on it fail.
    //
    // The files under /proc/<pid> show as root's when the process is not dumpable (a setuid
    // program, or one that asked not to be); the directory always carries the effective uid.
    // The stat file alone is cheaper, so it is asked first, and the directory only for a
    // root-owned answer. Run as root, nearly every answer would be root's: go to the directory
    // at once.
    if (currentUid() != 0) {
        UniqueFd statFile(::open(procPath(pid, "stat").constData(), O_RDONLY | O_CLOEXEC));
        if (!statFile.valid()) {
            return std::nullopt;
        }
        const auto stat = readAll(statFile.get());
        const auto owner = ownerOf(statFile.get());
        if (!stat || !owner) {
            return std::nullopt;
        }
        if (*owner != 0) {
            return factsFrom(*stat, *owner);
        }
    }
    UniqueFd dir(::open(procPath(pid).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid()) {
        return std::nullopt;
    }
    const auto stat = readAt(dir.get(), "stat");
    const auto owner = ownerOf(dir.get());
    if (!stat || !owner) {
        return std::nullopt;
    }
    return factsFrom(*stat, *owner);
}

std::optional<QString> executablePath(int32_t pid) {
    if (pid <= 0) {
        return std::nullopt;
    }
    return readLink(procPath(pid, "exe"));
}

std::optional<QString> workingDirectory(int32_t pid) {
    if (pid <= 0) {
        return std::nullopt;
    }
    // A deleted working directory reads as "<path> (deleted)"; its link count tells it
    // apart from a folder that really carries that suffix.
    struct stat info {};
    if (::stat(procPath(pid, "cwd").constData(), &info) != 0 || info.st_nlink == 0) {
        return std::nullopt;
    }
    return readLink(procPath(pid, "cwd"));
}

std::vector<int32_t> processesOf(uint32_t uid) {
    std::vector<int32_t> pids;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) {
        return pids;
    }
    const int procFd = ::dirfd(proc);
    while (const dirent* entry = ::readdir(proc)) {
        const auto pid = parseUnsigned(QByteArrayView(entry->d_name));
        if (!pid || *pid > INT32_MAX || *pid == 0) {
            continue;
        }
        // The directory carries the effective uid whether or not the process is dumpable.
        struct stat info {};
        if (::fstatat(procFd, entry->d_name, &info, 0) == 0 && info.st_uid == uid) {
            pids.push_back(static_cast<int32_t>(*pid));
        }
    }
    ::closedir(proc);
    return pids;
}

std::optional<QString> commandName(int32_t pid) {
    if (pid <= 0) {
        return std::nullopt;
    }
    UniqueFd file(::open(procPath(pid, "comm").constData(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
        return std::nullopt;
    }
    auto text = readAll(file.get());
    if (!text) {
        return std::nullopt;
    }
    if (text->endsWith('\n')) {
        text->chop(1);
    }
    return QString::fromUtf8(*text);
}

int32_t currentPid() {
    return static_cast<int32_t>(::getpid());
}

uint32_t currentUid() {
    return static_cast<uint32_t>(::getuid());
}

}  // namespace vantu::platform
