// Wall time of one scan (the listing tool under the watchdog) against the same tool run alone
// with the same arguments, with 20 extra listeners on loopback so the listing has content.
#include "core/listener_scan.h"
#include "forked_listeners.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QProcess>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <string>
#include <vector>

extern char** environ;

using namespace Qt::StringLiterals;

namespace {

const QStringList kArguments{u"-iTCP"_s, u"-sTCP:LISTEN"_s, u"-n"_s, u"-P"_s, u"-Fpcn"_s};

using vantu::bench::ForkedListeners;

void BM_ListenerScanRun(benchmark::State& state) {
    const ForkedListeners children(20);
    const vantu::ListenerScan scan;
    qsizetype bytes = 0;
    for (auto _ : state) {
        const auto result = scan.run();
        const auto* outcome = std::get_if<vantu::ScanOutcome>(&result);
        if (outcome == nullptr || !outcome->output) {
            state.SkipWithError("the scan found nothing");
            break;
        }
        bytes = outcome->output->size();
    }
    state.counters["chars"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ListenerScanRun)->Unit(benchmark::kMillisecond)->UseRealTime();

// The tool through QProcess, merged channels and stdin from the null device, as a plain Qt
// program would run it. `clamp` applies the same open-file limit the scan gives the tool.
void lsofThroughQProcess(benchmark::State& state, bool clamp) {
    const ForkedListeners children(20);
    const QString tool = vantu::ListenerScan::standardToolPath();
    qsizetype bytes = 0;
    for (auto _ : state) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setStandardInputFile(QProcess::nullDevice());
        if (clamp) {
            process.setChildProcessModifier([] {
                rlimit files{};
                if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur > 1024) {
                    files.rlim_cur = 1024;
                    ::setrlimit(RLIMIT_NOFILE, &files);
                }
            });
        }
        process.start(tool, kArguments);
        if (!process.waitForFinished(10000)) {
            state.SkipWithError("lsof did not finish");
            break;
        }
        bytes = process.readAll().size();
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}

void BM_LsofAloneQProcess(benchmark::State& state) {
    lsofThroughQProcess(state, false);
}
BENCHMARK(BM_LsofAloneQProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LsofAloneQProcessClamped(benchmark::State& state) {
    lsofThroughQProcess(state, true);
}
BENCHMARK(BM_LsofAloneQProcessClamped)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor: posix_spawn, read the pipe, waitpid. No watchdog, no decoding.
void BM_LsofAlonePosixSpawn(benchmark::State& state) {
    const ForkedListeners children(20);
    const std::string tool = vantu::ListenerScan::standardToolPath().toStdString();
    std::vector<std::string> words{tool, "-iTCP", "-sTCP:LISTEN", "-n", "-P", "-Fpcn"};
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    size_t bytes = 0;
    for (auto _ : state) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            state.SkipWithError("pipe failed");
            break;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
        pid_t pid = -1;
        const int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (rc != 0) {
            ::close(fds[0]);
            state.SkipWithError("posix_spawn failed");
            break;
        }
        std::string output;
        char buffer[16384];
        for (ssize_t n = 0; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
            output.append(buffer, static_cast<size_t>(n));
        }
        ::close(fds[0]);
        ::waitpid(pid, nullptr, 0);
        bytes = output.size();
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_LsofAlonePosixSpawn)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    const QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
