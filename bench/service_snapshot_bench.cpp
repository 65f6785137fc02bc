// What a whole snapshot (find the listeners, identify their projects) costs next to the tools
// a developer would run instead: lsof and ss. Real listeners, each started in its own project
// folder; optionally a busy desktop's process table beside them.
//
//   bench_service_snapshot [benchmark flags] [--servers=N] [--busy=PROCESSES,DESCRIPTORS_EACH]
//
// BM_SnapshotVersusTools alternates the three in every iteration, so all see the same load, and
// reports the ratios. Run it as an ordinary user: as root every process of the machine is
// examined, and lsof too describes every process.
#include "busy_desktop.h"
#include "core/listener_enumerator.h"
#include "core/process_group.h"
#include "enumerators.h"
#include "platform/listening_sockets.h"
#include "platform/process.h"
#include "service/port_service.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <csignal>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

using namespace Qt::StringLiterals;

int serverCount = 5;

// Children that each listen on a free loopback port from their own project folder, the way
// `npm run dev` in that many checkouts would.
class ProjectListeners {
public:
    ProjectListeners() : root_(QDir::tempPath() + u"/vantu-bench-XXXXXX"_s) {
        for (int i = 0; i < serverCount; ++i) {
            const QString name = u"project-"_s + QString::number(i);
            const QString folder = root_.path() + u"/checkouts/"_s + name;
            QDir().mkpath(folder + u"/src"_s);
            QFile manifest(folder + u"/package.json"_s);
            if (!manifest.open(QIODevice::WriteOnly)) {
                return;
            }
            manifest.write(R"({"name": ")" + name.toUtf8() +
                           R"(", "version": "1.0.0", "scripts": {"dev": "vite"}, "dependencies": {"vite": "^5"}})");
            manifest.close();
            // Servers usually run from a subfolder, so the walk up takes a step or two.
            start(QFile::encodeName(folder + u"/src"_s), name);
        }
    }
    ~ProjectListeners() {
        for (const pid_t pid : pids_) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    ProjectListeners(const ProjectListeners&) = delete;
    ProjectListeners& operator=(const ProjectListeners&) = delete;

    [[nodiscard]] bool complete() const { return names_.size() == serverCount; }
    // How many of our listeners the list names correctly.
    [[nodiscard]] int identified(const QList<vantu::Listener>& listeners) const {
        int count = 0;
        for (const auto& listener : listeners) {
            const auto expected = names_.constFind(listener.pid);
            if (expected != names_.cend() && listener.project && listener.project->name == *expected) {
                ++count;
            }
        }
        return count;
    }

private:
    void start(const QByteArray& folder, const QString& name) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0) {
            return;
        }
        const pid_t parent = ::getpid();
        const pid_t pid = ::fork();
        if (pid == 0) {
            // Only async-signal-safe calls here: the parent may already run threads.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent || ::chdir(folder.constData()) != 0) {
                ::_exit(1);
            }
            for (;;) {
                ::pause();
            }
        }
        ::close(fd);
        if (pid > 0) {
            pids_.push_back(pid);
            names_.insert(static_cast<int32_t>(pid), name);
        }
    }

    QTemporaryDir root_;
    std::vector<pid_t> pids_;
    QHash<int32_t, QString> names_;
};

// A tool alone, output read to the end, then reaped; with an open-file limit of 1024, as a
// desktop session gives it.
bool runAlone(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return false;
    }
    const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::dup2(pipeFds[1], STDERR_FILENO);
        rlimit files{};
        if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur > 1024) {
            files.rlim_cur = 1024;
            ::setrlimit(RLIMIT_NOFILE, &files);
        }
        ::execve(argv[0], argv.data(), environ);
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    ::close(devNull);
    char buffer[65536];
    size_t total = 0;
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n > 0) {
            total += static_cast<size_t>(n);
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (pid > 0 && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return pid > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 && total > 0;
}

bool runLsofAlone() {
    const QByteArray tool = QFile::encodeName(vantu::ListenerScan::standardToolPath());
    return runAlone({tool.toStdString(), "-iTCP", "-sTCP:LISTEN", "-n", "-P", "-Fpcn"});
}

bool runSsAlone() {
    return runAlone({"/usr/bin/ss", "-tlnp"});
}

ProjectListeners* listeners = nullptr;

std::optional<QList<vantu::Listener>> snapshot(const vantu::PortService& service = vantu::PortService()) {
    auto result = service.snapshot(vantu::DiscoverySettings::defaults()).result();
    if (auto* list = std::get_if<QList<vantu::Listener>>(&result)) {
        return std::move(*list);
    }
    return std::nullopt;
}

void BM_LsofAlone(benchmark::State& state) {
    for (auto _ : state) {
        if (!runLsofAlone()) {
            state.SkipWithError("lsof failed");
            break;
        }
    }
}
BENCHMARK(BM_LsofAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_SsAlone(benchmark::State& state) {
    for (auto _ : state) {
        if (!runSsAlone()) {
            state.SkipWithError("ss failed");
            break;
        }
    }
}
BENCHMARK(BM_SsAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_Snapshot(benchmark::State& state) {
    for (auto _ : state) {
        const auto list = snapshot();
        if (!list || listeners->identified(*list) != serverCount) {
            state.SkipWithError("the snapshot did not identify every listener");
            break;
        }
    }
}
BENCHMARK(BM_Snapshot)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The same snapshot where the kernel offers no socket dump: the listing tool, checked.
void BM_SnapshotThroughTheListingTool(benchmark::State& state) {
    const vantu::PortService service(vantu::test::withoutSocketDump());
    for (auto _ : state) {
        const auto list = snapshot(service);
        if (!list || listeners->identified(*list) != serverCount) {
            state.SkipWithError("the snapshot did not identify every listener");
            break;
        }
    }
}
BENCHMARK(BM_SnapshotThroughTheListingTool)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The part of a snapshot that reads each shown server's process group: one pass over /proc for
// all their groups, then each member checked.
void BM_ServerGroups(benchmark::State& state) {
    const auto list = snapshot();
    QList<vantu::ProcessIdentity> servers;
    for (const vantu::Listener& listener : list.value_or(QList<vantu::Listener>())) {
        if (listener.identity) {
            servers.append(*listener.identity);
        }
    }
    for (auto _ : state) {
        const auto sessions = vantu::ProcessGroups::ofEach(servers);
        if (sessions.size() < servers.size() / 2) {
            state.SkipWithError("most servers' groups were not read");
            break;
        }
    }
    state.counters["servers"] = static_cast<double>(servers.size());
}
BENCHMARK(BM_ServerGroups)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The socket dump alone, and the walk of the user's descriptors alone, with the cost of each
// descriptor looked at.
void BM_SocketDump(benchmark::State& state) {
    for (auto _ : state) {
        auto dumped = vantu::platform::dumpListeningSockets();
        benchmark::DoNotOptimize(dumped);
    }
}
BENCHMARK(BM_SocketDump)->Unit(benchmark::kMicrosecond)->UseRealTime();

size_t descriptorsOfUser() {
    size_t count = 0;
    const uint32_t uid = vantu::platform::currentUid();
    for (const int32_t pid : vantu::platform::processesOf(uid)) {
        const QDir fds(u"/proc/"_s + QString::number(pid) + u"/fd"_s);
        count += static_cast<size_t>(fds.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
    }
    return count;
}

void BM_HolderWalk(benchmark::State& state) {
    const auto dumped =
        std::get<std::vector<vantu::platform::ListeningSocket>>(vantu::platform::dumpListeningSockets());
    vantu::platform::InodeSet inodes;
    for (const auto& socket : dumped) {
        inodes.insert(socket.inode);
    }
    const size_t descriptors = descriptorsOfUser();
    for (auto _ : state) {
        auto holders = vantu::platform::findSocketHolders(inodes, vantu::examinedOwner());
        benchmark::DoNotOptimize(holders);
    }
    state.counters["descriptors"] = static_cast<double>(descriptors);
    state.counters["per_descriptor"] = benchmark::Counter(
        static_cast<double>(descriptors), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_HolderWalk)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_SnapshotVersusTools(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    Clock::duration lsofTime{};
    Clock::duration ssTime{};
    Clock::duration snapshotTime{};
    for (auto _ : state) {
        const auto a = Clock::now();
        const bool lsofOk = runLsofAlone();
        const auto b = Clock::now();
        const bool ssOk = runSsAlone();
        const auto c = Clock::now();
        const auto list = snapshot();
        const auto d = Clock::now();
        if (!lsofOk || !ssOk || !list || listeners->identified(*list) != serverCount) {
            state.SkipWithError("a tool or the snapshot failed");
            break;
        }
        lsofTime += b - a;
        ssTime += c - b;
        snapshotTime += d - c;
    }
    const auto milliseconds = [&state](Clock::duration total) {
        return std::chrono::duration<double, std::milli>(total).count() / static_cast<double>(state.iterations());
    };
    state.counters["lsof_ms"] = milliseconds(lsofTime);
    state.counters["ss_ms"] = milliseconds(ssTime);
    state.counters["snapshot_ms"] = milliseconds(snapshotTime);
    state.counters["vs_lsof"] = milliseconds(snapshotTime) / milliseconds(lsofTime);
    state.counters["vs_ss"] = milliseconds(snapshotTime) / milliseconds(ssTime);
}
BENCHMARK(BM_SnapshotVersusTools)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5.0);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    int busyProcesses = 0;
    int busyDescriptors = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--servers=", 0) == 0) {
            serverCount = std::atoi(arg.c_str() + 10);
        } else if (arg.rfind("--busy=", 0) == 0 &&
                   std::sscanf(arg.c_str() + 7, "%d,%d", &busyProcesses, &busyDescriptors) == 2) {
        } else {
            std::fprintf(stderr, "unknown argument %s\n", argv[i]);
            return 64;
        }
    }
    // Children are forked before the first snapshot starts any thread, the busy ones first so
    // that they inherit no listening socket.
    const vantu::bench::BusyDesktop desktop(busyProcesses, busyDescriptors);
    ProjectListeners children;
    if (!children.complete()) {
        return 2;
    }
    listeners = &children;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    listeners = nullptr;
    return 0;
}
