// Costs of the discovery rules: parsing what a user types into the rule fields, and
// filtering one snapshot of listeners, with and without looking up executables in /proc.
#include "rules/development_port_filter.h"
#include "rules/port_rules.h"

#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

namespace {

using namespace vantu;

void BM_ParseTypicalRules(benchmark::State& state) {
    const QString text = QStringLiteral("3000-3005, 5173 8000-8100\n9229");
    for (auto _ : state) {
        auto rules = PortRules::parse(text);
        benchmark::DoNotOptimize(rules);
    }
}
BENCHMARK(BM_ParseTypicalRules);

void BM_ParseThousandTokens(benchmark::State& state) {
    QString text;
    for (int i = 1; i <= 1000; ++i) {
        text += QString::number(i * 60) + QStringLiteral("-") + QString::number(i * 60 + 5) + QStringLiteral(", ");
    }
    for (auto _ : state) {
        auto rules = PortRules::parse(text);
        benchmark::DoNotOptimize(rules);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_ParseThousandTokens);

QList<Listener> snapshot(int32_t pid, const QString& command, int count) {
    QList<Listener> listeners;
    const auto uid = static_cast<uint32_t>(::getuid());
    for (int i = 0; i < count; ++i) {
        listeners.append(Listener{.pid = pid,
                                  .port = static_cast<uint16_t>(3000 + i),
                                  .command = command,
                                  .identity = ProcessIdentity{pid, uid, 1700000000, 0},
                                  .project = ProjectMetadata{QStringLiteral("site"), QStringLiteral("/home/dev/site"),
                                                             std::nullopt, true, false},
                                  .workingDirectory = {}});
    }
    return listeners;
}

DiscoverySettings userSettings() {
    return std::get<DiscoverySettings>(
        DiscoverySettings::create(true, QStringLiteral("9000-9100 9229"), QStringLiteral("5432, 6379 27017")));
}

// 200 runtimes: decided by name, no system call.
void BM_FilterRuntimes(benchmark::State& state) {
    const auto listeners = snapshot(4312, QStringLiteral("node"), 200);
    const DiscoverySettings settings = userSettings();
    for (auto _ : state) {
        int shown = 0;
        for (const Listener& listener : listeners) {
            shown += DevelopmentPortFilter::includes(listener, settings) ? 1 : 0;
        }
        benchmark::DoNotOptimize(shown);
    }
    state.SetItemsProcessed(state.iterations() * listeners.size());
}
BENCHMARK(BM_FilterRuntimes);

// 200 listeners of a live process whose name is no runtime: each needs its executable path.
void BM_FilterWithExecutableLookup(benchmark::State& state) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::pause();
        ::_exit(0);
    }
    const auto listeners = snapshot(static_cast<int32_t>(child), QStringLiteral("worker"), 200);
    const DiscoverySettings settings = userSettings();
    for (auto _ : state) {
        int shown = 0;
        for (const Listener& listener : listeners) {
            shown += DevelopmentPortFilter::includes(listener, settings) ? 1 : 0;
        }
        if (shown != listeners.size()) {
            state.SkipWithError("the child's listeners were not all shown");
        }
    }
    state.SetItemsProcessed(state.iterations() * listeners.size());
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}
BENCHMARK(BM_FilterWithExecutableLookup);

}  // namespace

BENCHMARK_MAIN();
