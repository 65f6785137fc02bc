#include "platform/process.h"

#include "platform/unique_fd.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantu::platform {
namespace {

// Reads a small /proc file relative to a directory fd. /proc files report size 0, so read
// until end of file.
std::optional<QByteArray> readAt(int dirFd, const char* name) {
    UniqueFd fd(::openat(dirFd, name, O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        return std::nullopt;
    }
    QByteArray content;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
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
std::optional<uint64_t> startTicks(const QByteArray& stat) {
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0) {
        return std::nullopt;
    }
    const QList<QByteArray> fields = stat.mid(close + 1).simplified().split(' ');
    // After ')' come fields 3 onwards, so field 22 sits at index 19.
    constexpr qsizetype kStartTimeIndex = 22 - 3;
    if (fields.size() <= kStartTimeIndex) {
        return std::nullopt;
    }
    return parseUnsigned(fields.at(kStartTimeIndex));
}

// The /proc/<pid> directory is owned by the process's effective uid, also for a process that
// is not dumpable (only the files inside it then show as root's). Asking for it costs far less
// than having the kernel write out the whole status file.
std::optional<uint32_t> ownerOf(int dirFd) {
    struct stat info {};
    if (::fstat(dirFd, &info) != 0) {
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

}  // namespace

std::optional<ProcessFacts> readProcessFacts(int32_t pid) {
    if (pid <= 0) {
        return std::nullopt;
    }
    // Every fact is read through one directory fd: once the process is reaped the reads
    // fail, even if its pid has been handed to a new process meanwhile.
    UniqueFd dir(::open(procPath(pid).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid()) {
        return std::nullopt;
    }
    const auto stat = readAt(dir.get(), "stat");
    if (!stat) {
        return std::nullopt;
    }
    const auto ticks = startTicks(*stat);
    const auto uid = ownerOf(dir.get());
    const auto boot = bootTime();
    if (!ticks || !uid || !boot) {
        return std::nullopt;
    }
    const uint64_t hz = clockTicksPerSecond();
    return ProcessFacts{
        .effectiveUid = *uid,
        .startSeconds = *boot + *ticks / hz,
        .startMicroseconds = (*ticks % hz) * 1'000'000 / hz,
    };
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

int32_t currentPid() {
    return static_cast<int32_t>(::getpid());
}

uint32_t currentUid() {
    return static_cast<uint32_t>(::getuid());
}

}  // namespace vantu::platform
