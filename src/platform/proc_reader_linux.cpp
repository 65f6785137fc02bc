#include "platform/proc_reader_linux.h"

#include "platform/unique_fd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace vantu::platform::proc {
namespace {

// Boot time in whole seconds. Read once per run: start times derived from it must stay
// comparable between reads, and the kernel's figure can drift by a second as the clock is
// adjusted.
std::optional<uint64_t> bootTime() {
    static const std::optional<uint64_t> cached = []() -> std::optional<uint64_t> {
        UniqueFd procFolder(::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!procFolder.valid()) {
            return std::nullopt;
        }
        const auto stat = readAt(procFolder.get(), "stat");
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

// The white-space separated field `wanted` of a stat file, counted from 1. The command name
// (field 2) may hold spaces and parentheses, so fields are counted from the last ')'.
std::optional<QByteArrayView> statField(QByteArrayView stat, int wanted) {
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0) {
        return std::nullopt;
    }
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
        if (++field == wanted) {
            return stat.sliced(position, end - position);
        }
        position = end;
    }
    return std::nullopt;
}

}  // namespace

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

std::optional<ProcessFacts> factsFrom(QByteArrayView stat, uint32_t owner) {
    constexpr int kStartTimeField = 22;
    const auto field = statField(stat, kStartTimeField);
    const auto ticks = field ? parseUnsigned(*field) : std::nullopt;
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

std::optional<ProcessFacts> factsAt(int dirFd) {
    // The directory always carries the effective uid, even for a process that is not dumpable
    // (whose files show as root's).
    struct stat info {};
    if (::fstat(dirFd, &info) != 0) {
        return std::nullopt;
    }
    const auto stat = readAt(dirFd, "stat");
    if (!stat) {
        return std::nullopt;
    }
    return factsFrom(*stat, static_cast<uint32_t>(info.st_uid));
}

bool isLiveAt(int dirFd) {
    const auto stat = readAt(dirFd, "stat");
    const char state = stat ? stateOf(*stat) : '\0';
    if (state != 'Z') {
        return state != '\0' && state != 'X';
    }
    const auto status = readAt(dirFd, "status");
    if (!status) {
        return false;
    }
    for (const QByteArray& line : status->split('\n')) {
        if (line.startsWith("Threads:")) {
            const auto threads = parseUnsigned(QByteArrayView(line).sliced(8).trimmed());
            return threads && *threads > 1;
        }
    }
    return false;
}

UniqueFd liveThreadAt(int dirFd) {
    UniqueFd tasks(::openat(dirFd, "task", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR* entries = tasks.valid() ? ::fdopendir(tasks.get()) : nullptr;
    if (entries == nullptr) {
        return {};
    }
    const int tasksFd = tasks.release();
    UniqueFd found;
    while (const dirent* entry = ::readdir(entries)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        UniqueFd thread(::openat(tasksFd, entry->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        const auto stat = thread.valid() ? readAt(thread.get(), "stat") : std::nullopt;
        const char state = stat ? stateOf(*stat) : '\0';
        if (state != '\0' && state != 'Z' && state != 'X') {
            found = std::move(thread);
            break;
        }
    }
    ::closedir(entries);
    return found;
}

char stateOf(QByteArrayView stat) {
    constexpr int kStateField = 3;
    const auto field = statField(stat, kStateField);
    return field && field->size() == 1 ? field->front() : '\0';
}

std::optional<int64_t> statInteger(QByteArrayView stat, int field) {
    const auto text = statField(stat, field);
    if (!text || text->isEmpty()) {
        return std::nullopt;
    }
    const bool negative = text->front() == '-';
    const auto magnitude = parseUnsigned(negative ? text->sliced(1) : *text);
    if (!magnitude || *magnitude > static_cast<uint64_t>(INT64_MAX)) {
        return std::nullopt;
    }
    return negative ? -static_cast<int64_t>(*magnitude) : static_cast<int64_t>(*magnitude);
}

std::optional<int32_t> parentOf(QByteArrayView stat) {
    constexpr int kParentField = 4;
    const auto field = statField(stat, kParentField);
    const auto pid = field ? parseUnsigned(*field) : std::nullopt;
    if (!pid || *pid > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<int32_t>(*pid);
}

QByteArray commandOf(QByteArrayView stat) {
    const qsizetype open = stat.indexOf('(');
    const qsizetype close = stat.lastIndexOf(')');
    return open >= 0 && close > open ? stat.sliced(open + 1, close - open - 1).toByteArray() : QByteArray();
}

std::optional<QByteArray> commandAt(int dirFd) {
    auto text = readAt(dirFd, "comm");
    if (text && text->endsWith('\n')) {
        text->chop(1);
    }
    return text;
}

}  // namespace vantu::platform::proc
