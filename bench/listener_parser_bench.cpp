// Parsing cost of the listing tool's output: a synthetic 1,000-process, 5,000-socket listing
// with a table lookup (parsing alone), and this machine's real listing with real /proc reads.
#include "core/listener_parser.h"
#include "forked_listeners.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QProcess>

namespace {

QString syntheticOutput(int processes, int socketsPerProcess) {
    QString output;
    for (int p = 0; p < processes; ++p) {
        output += QStringLiteral("p%1\ncnode\n").arg(10000 + p);
        for (int s = 0; s < socketsPerProcess; ++s) {
            const int port = 1024 + p * socketsPerProcess + s;
            output += QStringLiteral("f%1\nn127.0.0.1:%2\nf%3\nn[::1]:%2\n").arg(s * 2 + 3).arg(port).arg(s * 2 + 4);
        }
    }
    return output;
}

void BM_ParseSyntheticWithTable(benchmark::State& state) {
    const QString output = syntheticOutput(1000, 5);
    const auto lookup = [](int32_t pid) -> std::optional<vantu::ProcessIdentity> {
        return vantu::ProcessIdentity{pid, 1000, 1700000000, 0};
    };
    for (auto _ : state) {
        auto listeners = vantu::ListenerParser::parse(output, lookup);
        benchmark::DoNotOptimize(listeners);
        if (listeners.size() != 5000) {
            state.SkipWithError("wrong listener count");
        }
    }
    state.SetItemsProcessed(state.iterations() * 5000);
}
BENCHMARK(BM_ParseSyntheticWithTable)->Unit(benchmark::kMillisecond);

QString realListing() {
    const QString tool = QFile::exists(QStringLiteral("/usr/bin/lsof")) ? QStringLiteral("/usr/bin/lsof")
                                                                        : QStringLiteral("/usr/sbin/lsof");
    QProcess process;
    process.start(tool, {QStringLiteral("-iTCP"), QStringLiteral("-sTCP:LISTEN"), QStringLiteral("-n"),
                         QStringLiteral("-P"), QStringLiteral("-Fpcn")});
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

using vantu::bench::ForkedListeners;

void BM_ParseRealListingWithProc(benchmark::State& state) {
    const ForkedListeners children(50);
    const QString output = realListing();
    qsizetype count = 0;
    for (auto _ : state) {
        auto listeners = vantu::ListenerParser::parse(output);
        count = listeners.size();
        benchmark::DoNotOptimize(listeners);
    }
    state.counters["listeners"] = static_cast<double>(count);
}
BENCHMARK(BM_ParseRealListingWithProc)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
