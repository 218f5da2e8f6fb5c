// The text paths of a bulk import and of a long message: extracting numbers from a text
// file, splitting typed or loaded lines with the duplicate filter, cutting a message into
// 65-character pieces.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/Gbk.h"
#include "recipients/PhoneRules.h"
#include "sending/TextHelpers.h"

namespace {

// `lines` distinct 11-digit mobile numbers, each ending in CR LF.
std::string numberFile(int lines) {
    std::string text;
    text.reserve(static_cast<size_t>(lines) * 13);
    for (int i = 0; i < lines; ++i) {
        text += std::to_string(13800000000LL + 7LL * i);
        text += "\r\n";
    }
    return text;
}

void BM_ExtractMobileNumbers(benchmark::State& state) {
    const std::string text = numberFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto numbers = smsc::ExtractMobileNumbers(text);
        benchmark::DoNotOptimize(numbers.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ExtractMobileNumbers)
    ->Arg(3000)
    ->Arg(30000)
    ->Arg(300000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_SplitLinesUnique(benchmark::State& state) {
    const std::string text = numberFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto lines = smsc::SplitLinesUnique(text, "\r");
        benchmark::DoNotOptimize(lines.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SplitLinesUnique)
    ->Arg(3000)
    ->Arg(30000)
    ->Arg(300000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// A long Chinese message with some ASCII and line breaks, cut into 65-character pieces.
void BM_SplitByLength(benchmark::State& state) {
    const std::string paragraph =
        smsc::G("尊敬的客户您好，本公司将于本周六举行新品发布会，欢迎莅临！Tel 010-12345678\r\n");
    std::string text;
    while (smsc::TextLength(text) < state.range(0))
        text += paragraph;
    for (auto _ : state) {
        auto pieces = smsc::SplitByLength(text, 65);
        benchmark::DoNotOptimize(pieces.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SplitByLength)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);

}  // namespace
