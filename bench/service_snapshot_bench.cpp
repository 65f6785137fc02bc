// What a whole snapshot (scan, parse, project identification) costs next to running the
// listing tool alone with the same arguments, with 50 real listeners each started in its own
// project folder. BM_SnapshotVersusLsof alternates the two in every iteration, so both see
// the same machine load, and reports the ratio.
#include "core/listener_parser.h"
#include "core/listener_scan.h"
#include "project/project_resolver.h"
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

#include <string>
#include <vector>

extern char** environ;

namespace {

using namespace Qt::StringLiterals;

constexpr int kListeners = 50;

// Children that each listen on a free loopback port from their own project folder, the way
// `npm run dev` in 50 checkouts would.
class ProjectListeners {
public:
    ProjectListeners() : root_(QDir::tempPath() + u"/vantu-bench-XXXXXX"_s) {
        for (int i = 0; i < kListeners; ++i) {
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

    [[nodiscard]] bool complete() const { return names_.size() == kListeners; }
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

// The listing tool alone: same path, same arguments, same open-file limit and streams as the
// scan gives it, output read to the end, then reaped.
bool runLsofAlone() {
    const QByteArray tool = QFile::encodeName(vantu::ListenerScan::standardToolPath());
    std::vector<std::string> args{tool.toStdString(), "-iTCP", "-sTCP:LISTEN", "-n", "-P", "-Fpcn"};
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

ProjectListeners* listeners = nullptr;

std::optional<QList<vantu::Listener>> snapshot() {
    auto result = vantu::PortService().snapshot(vantu::DiscoverySettings::defaults()).result();
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

void BM_Snapshot(benchmark::State& state) {
    for (auto _ : state) {
        const auto list = snapshot();
        if (!list || listeners->identified(*list) != kListeners) {
            state.SkipWithError("the snapshot did not identify every listener");
            break;
        }
    }
}
BENCHMARK(BM_Snapshot)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The scan alone: the tool under its watchdog, output decoded and judged.
void BM_ScanAlone(benchmark::State& state) {
    for (auto _ : state) {
        const auto scanned = vantu::ListenerScan().run();
        if (!std::holds_alternative<vantu::ScanOutcome>(scanned)) {
            state.SkipWithError("scan failed");
            break;
        }
    }
}
BENCHMARK(BM_ScanAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// Project identification alone, on a list parsed once.
void BM_EnrichFifty(benchmark::State& state) {
    const auto scanned = vantu::ListenerScan().run();
    const auto* outcome = std::get_if<vantu::ScanOutcome>(&scanned);
    if (outcome == nullptr || !outcome->output) {
        state.SkipWithError("scan failed");
        return;
    }
    const QList<vantu::Listener> parsed = vantu::ListenerParser::parse(*outcome->output);
    for (auto _ : state) {
        auto enriched = vantu::ProjectResolver::enrich(parsed);
        benchmark::DoNotOptimize(enriched);
    }
}
BENCHMARK(BM_EnrichFifty)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SnapshotVersusLsof(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    Clock::duration lsofTime{};
    Clock::duration snapshotTime{};
    for (auto _ : state) {
        const auto a = Clock::now();
        const bool lsofOk = runLsofAlone();
        const auto b = Clock::now();
        const auto list = snapshot();
        const auto c = Clock::now();
        if (!lsofOk || !list || listeners->identified(*list) != kListeners) {
            state.SkipWithError("lsof or the snapshot failed");
            break;
        }
        lsofTime += b - a;
        snapshotTime += c - b;
    }
    const auto milliseconds = [&state](Clock::duration total) {
        return std::chrono::duration<double, std::milli>(total).count() / static_cast<double>(state.iterations());
    };
    state.counters["lsof_ms"] = milliseconds(lsofTime);
    state.counters["snapshot_ms"] = milliseconds(snapshotTime);
    state.counters["ratio"] = milliseconds(snapshotTime) / milliseconds(lsofTime);
}
BENCHMARK(BM_SnapshotVersusLsof)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5.0);

// Where the time above the tool goes: the same steps run one by one on this thread,
// alternating with the tool alone.
void BM_SnapshotStages(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    Clock::duration lsofTime{};
    Clock::duration scanTime{};
    Clock::duration parseTime{};
    Clock::duration enrichTime{};
    for (auto _ : state) {
        const auto a = Clock::now();
        const bool lsofOk = runLsofAlone();
        const auto b = Clock::now();
        const auto scanned = vantu::ListenerScan().run();
        const auto c = Clock::now();
        const auto* outcome = std::get_if<vantu::ScanOutcome>(&scanned);
        if (!lsofOk || outcome == nullptr || !outcome->output) {
            state.SkipWithError("lsof or the scan failed");
            break;
        }
        QList<vantu::Listener> parsed = vantu::ListenerParser::parse(*outcome->output);
        const auto d = Clock::now();
        const auto enriched = vantu::ProjectResolver::enrich(std::move(parsed));
        const auto e = Clock::now();
        if (listeners->identified(enriched) != kListeners) {
            state.SkipWithError("not every listener was identified");
            break;
        }
        lsofTime += b - a;
        scanTime += c - b;
        parseTime += d - c;
        enrichTime += e - d;
    }
    const auto milliseconds = [&state](Clock::duration total) {
        return std::chrono::duration<double, std::milli>(total).count() / static_cast<double>(state.iterations());
    };
    state.counters["lsof_ms"] = milliseconds(lsofTime);
    state.counters["scan_ms"] = milliseconds(scanTime);
    state.counters["parse_ms"] = milliseconds(parseTime);
    state.counters["enrich_ms"] = milliseconds(enrichTime);
}
BENCHMARK(BM_SnapshotStages)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5.0);

}  // namespace

int main(int argc, char** argv) {
    // Children are forked before the first snapshot starts any thread.
    ProjectListeners children;
    if (!children.complete()) {
        return 2;
    }
    listeners = &children;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    listeners = nullptr;
    return 0;
}
