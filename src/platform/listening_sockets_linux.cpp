#include "platform/listening_sockets.h"

#include "platform/proc_reader_linux.h"
#include "platform/unique_fd.h"

#include <QByteArray>
#include <QList>

#include <dirent.h>
#include <fcntl.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

namespace vantu::platform {
namespace {

constexpr uint8_t kTcpListen = 10;  // TCP_LISTEN in the kernel's state numbering

// Netlink messages are 4-byte aligned.
constexpr size_t align4(size_t length) {
    return (length + 3U) & ~size_t{3U};
}

// Reads a record from a byte buffer without assuming its alignment.
template <typename T>
T recordAt(const char* bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

QString numericAddress(uint8_t family, const uint32_t (&words)[4]) {
    char text[INET6_ADDRSTRLEN] = {};
    if (::inet_ntop(family, words, text, sizeof text) == nullptr) {
        return {};
    }
    return QString::fromLatin1(text);
}

// One dump of one address family. Appends to `sockets`; 0 or the errno of the failure.
// EAGAIN means the kernel flagged the dump as interrupted by a change: worth one more try.
int dumpFamily(int netlink, uint8_t family, uint32_t sequence, std::vector<ListeningSocket>& sockets) {
    struct Request {
        nlmsghdr header;
        inet_diag_req_v2 body;
    };
    Request request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = sequence;
    request.body.sdiag_family = family;
    request.body.sdiag_protocol = IPPROTO_TCP;
    request.body.idiag_states = 1U << kTcpListen;

    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(netlink, &request, sizeof request, 0, reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel) < 0) {
        return errno;
    }

    std::vector<char> buffer(64 * 1024);
    bool interrupted = false;
    for (;;) {
        const ssize_t received = ::recv(netlink, buffer.data(), buffer.size(), 0);
        if (received < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (received == 0) {
            return EPROTO;
        }
        size_t offset = 0;
        const auto end = static_cast<size_t>(received);
        while (offset + sizeof(nlmsghdr) <= end) {
            const auto header = recordAt<nlmsghdr>(buffer.data() + offset);
            if (header.nlmsg_len < sizeof(nlmsghdr) || offset + header.nlmsg_len > end) {
                return EPROTO;
            }
            const char* payload = buffer.data() + offset + align4(sizeof(nlmsghdr));
            const size_t payloadLength = header.nlmsg_len - align4(sizeof(nlmsghdr));
            offset += align4(header.nlmsg_len);
            if (header.nlmsg_seq != sequence) {
                continue;
            }
            interrupted = interrupted || (header.nlmsg_flags & NLM_F_DUMP_INTR) != 0;
            if (header.nlmsg_type == NLMSG_DONE) {
                return interrupted ? EAGAIN : 0;
            }
            if (header.nlmsg_type == NLMSG_ERROR) {
                if (payloadLength < sizeof(nlmsgerr)) {
                    return EPROTO;
                }
                const int error = -recordAt<nlmsgerr>(payload).error;
                return error > 0 ? error : EPROTO;
            }
            if (header.nlmsg_type != SOCK_DIAG_BY_FAMILY || payloadLength < sizeof(inet_diag_msg)) {
                continue;
            }
            const auto message = recordAt<inet_diag_msg>(payload);
            if (message.idiag_state != kTcpListen || message.idiag_inode == 0) {
                continue;
            }
            const uint16_t port = ntohs(message.id.idiag_sport);
            if (port == 0) {
                continue;
            }
            sockets.push_back(ListeningSocket{
                .port = port,
                .uid = message.idiag_uid,
                .inode = message.idiag_inode,
                .ipv6 = family == AF_INET6,
                .address = numericAddress(family, message.id.idiag_src),
            });
        }
    }
}

// Reads a link's target into `buffer`; its length, or 0 when it cannot be read or is longer.
size_t readLinkAt(int dirFd, const char* name, char* buffer, size_t size) {
    const ssize_t n = ::readlinkat(dirFd, name, buffer, size);
    return n > 0 && static_cast<size_t>(n) < size ? static_cast<size_t>(n) : 0;
}

// "socket:[12345]" → 12345.
std::optional<uint64_t> socketInode(const char* target, size_t length) {
    static constexpr char kPrefix[] = "socket:[";
    constexpr size_t kPrefixLength = sizeof kPrefix - 1;
    if (length <= kPrefixLength + 1 || std::memcmp(target, kPrefix, kPrefixLength) != 0 || target[length - 1] != ']') {
        return std::nullopt;
    }
    return proc::parseUnsigned(
        QByteArrayView(target + kPrefixLength, static_cast<qsizetype>(length - kPrefixLength - 1)));
}

// The inodes of `wanted` among the open descriptors of the process whose /proc directory is
// `processDir`. nullopt when its descriptors cannot be read (gone, or not ours to look at).
// `sawAny` tells whether the folder listed any descriptor at all.
std::optional<std::vector<uint64_t>> heldInodes(int processDir, const InodeSet& wanted, bool& sawAny) {
    UniqueFd fdFolder(::openat(processDir, "fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fdFolder.valid()) {
        return std::nullopt;
    }
    DIR* entries = ::fdopendir(fdFolder.get());
    if (entries == nullptr) {
        return std::nullopt;
    }
    fdFolder.release();
    std::vector<uint64_t> held;
    char target[64];
    const int entriesFd = ::dirfd(entries);
    while (const dirent* entry = ::readdir(entries)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        sawAny = true;
        const size_t length = readLinkAt(entriesFd, entry->d_name, target, sizeof target);
        const auto inode = socketInode(target, length);
        if (inode && wanted.contains(*inode) && std::find(held.cbegin(), held.cend(), *inode) == held.cend()) {
            held.push_back(*inode);
        }
    }
    ::closedir(entries);
    return held;
}

// The inodes of `wanted` that the process holds, through any of its threads.
std::optional<std::vector<uint64_t>> heldByProcess(int processDir, const InodeSet& wanted) {
    bool sawAny = false;
    auto held = heldInodes(processDir, wanted, sawAny);
    if (held && !sawAny && proc::isLiveAt(processDir)) {
        // A process whose first thread has ended shows no descriptors there, while its other
        // threads still hold them all.
        if (const UniqueFd thread = proc::liveThreadAt(processDir); thread.valid()) {
            held = heldInodes(thread.get(), wanted, sawAny);
        }
    }
    return held;
}

std::optional<int32_t> pidFromName(const char* name) {
    const auto pid = proc::parseUnsigned(QByteArrayView(name));
    if (!pid || *pid == 0 || *pid > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<int32_t>(*pid);
}

// One process, examined through one open directory: its facts, then its descriptors, then its
// facts again. A process that ended meanwhile fails the reads; one whose two reads differ is
// dropped rather than guessed at.
std::optional<SocketHolder> examine(int procFolder, int32_t pid, const InodeSet& wanted,
                                    std::optional<uint32_t> owner) {
    char name[16];
    std::snprintf(name, sizeof name, "%d", pid);
    UniqueFd dir(::openat(procFolder, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid()) {
        return std::nullopt;
    }
    if (owner) {
        struct stat info {};
        if (::fstat(dir.get(), &info) != 0 || info.st_uid != *owner) {
            return std::nullopt;
        }
    }
    const auto before = proc::factsAt(dir.get());
    if (!before) {
        return std::nullopt;
    }
    auto held = heldByProcess(dir.get(), wanted);
    if (!held || held->empty()) {
        return std::nullopt;
    }
    const auto command = proc::commandAt(dir.get());
    const auto after = proc::factsAt(dir.get());
    if (!command || !after || *after != *before) {
        return std::nullopt;
    }
    return SocketHolder{
        .pid = pid,
        .facts = *before,
        .command = QString::fromUtf8(*command),
        .inodes = std::move(*held),
    };
}

std::vector<int32_t> listedPids(int procFolder) {
    std::vector<int32_t> pids;
    const int copy = ::dup(procFolder);
    DIR* entries = copy >= 0 ? ::fdopendir(copy) : nullptr;
    if (entries == nullptr) {
        if (copy >= 0) {
            ::close(copy);
        }
        return pids;
    }
    while (const dirent* entry = ::readdir(entries)) {
        if (const auto pid = pidFromName(entry->d_name)) {
            pids.push_back(*pid);
        }
    }
    ::closedir(entries);
    return pids;
}

// Examines `pids` on every core; each worker takes the next pid as it finishes one.
std::vector<SocketHolder> walk(int procFolder, const std::vector<int32_t>& pids, const InodeSet& wanted,
                               std::optional<uint32_t> owner) {
    // A thread costs more than examining a few dozen idle processes.
    constexpr size_t kPidsPerThread = 48;
    const size_t cores = std::max(1U, std::thread::hardware_concurrency());
    const size_t threads = std::clamp(pids.size() / kPidsPerThread, size_t{1}, cores);
    std::atomic<size_t> next{0};
    std::vector<std::vector<SocketHolder>> found(threads);
    const auto work = [&](size_t worker) {
        for (size_t index = next++; index < pids.size(); index = next++) {
            if (auto holder = examine(procFolder, pids[index], wanted, owner)) {
                found[worker].push_back(std::move(*holder));
            }
        }
    };
    std::vector<std::thread> helpers;
    helpers.reserve(threads - 1);
    for (size_t worker = 1; worker < threads; ++worker) {
        helpers.emplace_back(work, worker);
    }
    work(0);
    for (std::thread& helper : helpers) {
        helper.join();
    }
    std::vector<SocketHolder> holders;
    for (auto& part : found) {
        std::move(part.begin(), part.end(), std::back_inserter(holders));
    }
    return holders;
}

UniqueFd openProcFolder() {
    return UniqueFd(::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// The inodes of sockets listening on `port` in a /proc/<pid>/net/tcp or tcp6 table.
void listeningInodes(const QByteArray& table, uint16_t port, InodeSet& inodes) {
    const QList<QByteArray> lines = table.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].simplified().split(' ');
        // sl local_address rem_address st tx_queue:rx_queue tr:tm->when retrnsmt uid timeout inode
        constexpr qsizetype kLocal = 1;
        constexpr qsizetype kState = 3;
        constexpr qsizetype kInode = 9;
        if (fields.size() <= kInode || fields[kState] != "0A") {
            continue;
        }
        const qsizetype colon = fields[kLocal].lastIndexOf(':');
        bool ok = false;
        const uint localPort = fields[kLocal].mid(colon + 1).toUInt(&ok, 16);
        const auto inode = proc::parseUnsigned(fields[kInode]);
        if (colon > 0 && ok && localPort == port && inode) {
            inodes.insert(*inode);
        }
    }
}

}  // namespace

std::variant<std::vector<ListeningSocket>, int> dumpListeningSockets() {
    UniqueFd netlink(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
    if (!netlink.valid()) {
        return errno;
    }
    // The kernel answers at once; a silent socket must not hold up a refresh.
    const timeval limit{.tv_sec = 2, .tv_usec = 0};
    ::setsockopt(netlink.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);

    constexpr int kAttempts = 3;
    int error = 0;
    uint32_t sequence = 1;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::vector<ListeningSocket> sockets;
        error = dumpFamily(netlink.get(), AF_INET, sequence++, sockets);
        if (error == 0) {
            error = dumpFamily(netlink.get(), AF_INET6, sequence++, sockets);
        }
        if (error == 0) {
            return sockets;
        }
        if (error != EAGAIN) {
            return error;
        }
    }
    return error;
}

std::vector<SocketHolder> findSocketHolders(const InodeSet& inodes, std::optional<uint32_t> owner) {
    if (inodes.empty()) {
        return {};
    }
    const UniqueFd procFolder = openProcFolder();
    if (!procFolder.valid()) {
        return {};
    }
    return walk(procFolder.get(), listedPids(procFolder.get()), inodes, owner);
}

std::vector<SocketHolder> findSocketHoldersAmong(const InodeSet& inodes, const std::vector<int32_t>& pids) {
    const UniqueFd procFolder = openProcFolder();
    if (inodes.empty() || !procFolder.valid()) {
        return {};
    }
    return walk(procFolder.get(), pids, inodes, std::nullopt);
}

std::unordered_map<int32_t, ProcessFacts> processFacts(std::optional<uint32_t> owner) {
    std::unordered_map<int32_t, ProcessFacts> facts;
    const UniqueFd procFolder = openProcFolder();
    if (!procFolder.valid()) {
        return facts;
    }
    for (const int32_t pid : listedPids(procFolder.get())) {
        char name[16];
        std::snprintf(name, sizeof name, "%d", pid);
        UniqueFd dir(::openat(procFolder.get(), name, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!dir.valid()) {
            continue;
        }
        struct stat info {};
        if (owner && (::fstat(dir.get(), &info) != 0 || info.st_uid != *owner)) {
            continue;
        }
        if (const auto read = proc::factsAt(dir.get())) {
            facts.emplace(pid, *read);
        }
    }
    return facts;
}

std::optional<ProcessFacts> confirmListening(int32_t pid, uint16_t port) {
    const UniqueFd procFolder = openProcFolder();
    char name[16];
    std::snprintf(name, sizeof name, "%d", pid);
    UniqueFd dir(procFolder.valid() && pid > 0 ? ::openat(procFolder.get(), name, O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                               : -1);
    if (!dir.valid()) {
        return std::nullopt;
    }
    const auto before = proc::factsAt(dir.get());
    if (!before) {
        return std::nullopt;
    }
    InodeSet onPort;
    for (const char* table : {"net/tcp", "net/tcp6"}) {
        if (const auto text = proc::readAt(dir.get(), table)) {
            listeningInodes(*text, port, onPort);
        }
    }
    const auto held = heldByProcess(dir.get(), onPort);
    const auto after = proc::factsAt(dir.get());
    if (!held || held->empty() || !after || *after != *before) {
        return std::nullopt;
    }
    return before;
}

}  // namespace vantu::platform
