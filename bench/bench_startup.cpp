// Start-up to the first window: the client started as a program (its real start-up over a
// copy of the shipped data with the segment database, offscreen) until the login window and
// the main window are shown and painted, beside its floor, a bare Qt window (a QMainWindow
// with a few widgets) shown the same way. Both are timed from just before the program is
// started to the moment it reports its windows shown; runs alternate so that a busy machine
// weighs on both alike. The medians and their ratio are the counters.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDataDir.h"

namespace {

long long nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Milliseconds from the start of the program to its windows shown; -1 when it failed.
double timeToShown(const std::vector<std::string>& args) {
    const long long started = nowNs();
    smsc::test::ChildProcess probe(SMSC_STARTUP_PROBE, args);
    const std::string line = probe.firstLine(std::chrono::seconds(60));
    if (probe.wait() != 0 || line.empty())
        return -1;
    return static_cast<double>(std::stoll(line) - started) / 1e6;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void BM_StartupToFirstWindow(benchmark::State& state) {
    smsc::test::TempDataDir data;
    std::filesystem::copy_file(std::string(SMSC_SEGMENT_DATA_DIR) + "/sjhmd.dat",
                               data.file("sjhmd.dat"),
                               std::filesystem::copy_options::overwrite_existing);
    std::vector<double> client;
    std::vector<double> bare;
    for (auto _ : state) {
        bare.push_back(timeToShown({"bare"}));
        client.push_back(timeToShown({"client", data.path()}));
        if (bare.back() < 0 || client.back() < 0) {
            state.SkipWithError("the probe program failed");
            break;
        }
        state.SetIterationTime(client.back() / 1000.0);
    }
    state.counters["client_ms"] = median(client);
    state.counters["bare_window_ms"] = median(bare);
    state.counters["ratio"] = median(client) / std::max(median(bare), 1e-9);
}
BENCHMARK(BM_StartupToFirstWindow)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(15);

}  // namespace
