#include "platform/process.h"

#include "platform/proc_reader_linux.h"
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

using proc::factsFrom;
using proc::parseUnsigned;
using proc::readAll;

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
        struct stat info {};
        if (!stat || ::fstat(statFile.get(), &info) != 0) {
            return std::nullopt;
        }
        if (info.st_uid != 0) {
            return factsFrom(*stat, static_cast<uint32_t>(info.st_uid));
        }
    }
    UniqueFd dir(::open(procPath(pid).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid()) {
        return std::nullopt;
    }
    return proc::factsAt(dir.get());
}

std::optional<uint64_t> residentBytes(int32_t pid, const ProcessFacts& expected) {
    UniqueFd dir(::open(procPath(pid).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid()) {
        return std::nullopt;
    }
    // Read before the facts: once they match, the figures came from the same instance.
    const auto statm = proc::readAt(dir.get(), "statm");
    if (!statm || proc::factsAt(dir.get()) != expected) {
        return std::nullopt;
    }
    // "size resident shared …", in pages.
    const QList<QByteArray> fields = statm->split(' ');
    const auto pages = fields.size() > 1 ? parseUnsigned(fields[1]) : std::nullopt;
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (!pages || pageSize <= 0) {
        return std::nullopt;
    }
    return *pages * static_cast<uint64_t>(pageSize);
}

std::optional<ProcessSummary> describeProcess(int32_t pid) {
    const auto place = placeOf(pid);
    if (!place) {
        return std::nullopt;
    }
    return ProcessSummary{.facts = place->facts, .parentPid = place->parentPid, .command = place->command};
}

std::optional<ProcessPlace> placeOf(int32_t pid) {
    UniqueFd dir(pid > 0 ? ::open(procPath(pid).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1);
    struct stat info {};
    if (!dir.valid() || ::fstat(dir.get(), &info) != 0) {
        return std::nullopt;
    }
    const auto stat = proc::readAt(dir.get(), "stat");
    if (!stat) {
        return std::nullopt;
    }
    const auto facts = factsFrom(*stat, static_cast<uint32_t>(info.st_uid));
    const auto parent = proc::statInteger(*stat, 4);
    const auto group = proc::statInteger(*stat, 5);
    const auto session = proc::statInteger(*stat, 6);
    const auto terminal = proc::statInteger(*stat, 7);
    if (!facts || !parent || !group || !session || !terminal) {
        return std::nullopt;
    }
    return ProcessPlace{
        .facts = *facts,
        .parentPid = static_cast<int32_t>(*parent),
        .processGroup = static_cast<int32_t>(*group),
        .session = static_cast<int32_t>(*session),
        .terminal = *terminal,
        .command = QString::fromUtf8(proc::commandOf(*stat)),
    };
}

std::unordered_map<int32_t, std::vector<int32_t>> processGroupMembers(const std::unordered_set<int32_t>& groups) {
    std::unordered_map<int32_t, std::vector<int32_t>> members;
    DIR* folder = groups.empty() ? nullptr : ::opendir("/proc");
    if (folder == nullptr) {
        return members;
    }
    const int folderFd = ::dirfd(folder);
    while (const dirent* entry = ::readdir(folder)) {
        const auto pid = parseUnsigned(QByteArrayView(entry->d_name));
        if (!pid || *pid == 0 || *pid > INT32_MAX) {
            continue;
        }
        UniqueFd dir(::openat(folderFd, entry->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        const auto stat = dir.valid() ? proc::readAt(dir.get(), "stat") : std::nullopt;
        const auto group = stat ? proc::statInteger(*stat, 5) : std::nullopt;
        if (group && *group > 0 && *group <= INT32_MAX && groups.contains(static_cast<int32_t>(*group))) {
            members[static_cast<int32_t>(*group)].push_back(static_cast<int32_t>(*pid));
        }
    }
    ::closedir(folder);
    return members;
}

namespace {

std::optional<QByteArray> rawCommandLine(int32_t pid, int maxBytes) {
    UniqueFd file(pid > 0 ? ::open(procPath(pid, "cmdline").constData(), O_RDONLY | O_CLOEXEC) : -1);
    if (!file.valid()) {
        return std::nullopt;
    }
    QByteArray text(maxBytes, Qt::Uninitialized);
    qsizetype total = 0;
    while (total < text.size()) {
        const ssize_t n = ::read(file.get(), text.data() + total, static_cast<size_t>(text.size() - total));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        total += n;
    }
    text.truncate(total);
    return text;
}

}  // namespace

std::optional<QString> commandLine(int32_t pid, int maxBytes) {
    auto text = rawCommandLine(pid, maxBytes);
    if (!text) {
        return std::nullopt;
    }
    text->replace('\0', ' ');
    return QString::fromUtf8(text->trimmed());
}

std::optional<QStringList> arguments(int32_t pid, int maxBytes) {
    auto text = rawCommandLine(pid, maxBytes);
    if (!text) {
        return std::nullopt;
    }
    if (text->endsWith('\0')) {
        text->chop(1);
    }
    QStringList list;
    for (const QByteArray& argument : text->split('\0')) {
        list.append(QString::fromUtf8(argument));
    }
    return list;
}

bool readsFromTerminal(int32_t pid) {
    char target[64] = {};
    const ssize_t length = ::readlink(procPath(pid, "fd/0").constData(), target, sizeof target - 1);
    if (length <= 0) {
        return false;
    }
    const QByteArrayView path(target, length);
    return path.startsWith("/dev/pts/") || path.startsWith("/dev/tty");
}

std::optional<QByteArray> controlGroups(int32_t pid) {
    UniqueFd file(pid > 0 ? ::open(procPath(pid, "cgroup").constData(), O_RDONLY | O_CLOEXEC) : -1);
    return file.valid() ? readAll(file.get()) : std::nullopt;
}

std::vector<int32_t> childrenOf(int32_t pid) {
    std::vector<int32_t> children;
    DIR* tasks = pid > 0 ? ::opendir(procPath(pid, "task").constData()) : nullptr;
    if (tasks == nullptr) {
        return children;
    }
    // Each thread keeps the children it started itself.
    while (const dirent* entry = ::readdir(tasks)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        const QByteArray list = QByteArrayLiteral("task/") + entry->d_name + QByteArrayLiteral("/children");
        const auto text =
            readAll(UniqueFd(::open(procPath(pid, list.constData()).constData(), O_RDONLY | O_CLOEXEC)).get());
        for (const QByteArray& word : text.value_or(QByteArray()).split(' ')) {
            if (const auto child = parseUnsigned(word.trimmed()); child && *child <= INT32_MAX) {
                children.push_back(static_cast<int32_t>(*child));
            }
        }
    }
    ::closedir(tasks);
    return children;
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
