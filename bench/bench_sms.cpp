// The SMS send's own work besides the request: the number string of a full list and the
// pieces of a long message.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/Gbk.h"
#include "sending/SmsSend.h"

namespace {

void BM_BuildNumberString(benchmark::State& state) {
    std::vector<std::string> entries;
    for (int i = 0; i < state.range(0); ++i)
        entries.push_back(std::to_string(13800000000LL + i));
    entries[100] = "10086";
    for (auto _ : state) {
        std::string numbers = smsc::BuildNumberString(entries, true, "10086");
        benchmark::DoNotOptimize(numbers.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_BuildNumberString)->Arg(30000)->Unit(benchmark::kMicrosecond);

void BM_PlanSmsPieces(benchmark::State& state) {
    std::string text;
    const std::string zi = smsc::G("字");
    for (int i = 0; i < state.range(0); ++i)
        text += i % 3 ? zi : std::string("a");
    for (auto _ : state) {
        smsc::SmsPlan plan = smsc::PlanSmsPieces(text);
        benchmark::DoNotOptimize(plan.texts.data());
    }
}
BENCHMARK(BM_PlanSmsPieces)->Arg(700)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace
