// The text paths of a bulk import and of a long message: extracting numbers from a text
// file, splitting typed or loaded lines with the duplicate filter, cutting a message into
// 65-character pieces.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/Gbk.h"
#include "recipients/NumberReader.h"
#include "recipients/PhoneRules.h"
#include "platform/TextHelpers.h"

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

// The same numbers as a member list exported by a CRM or a phone tool: name, number in one
// of the ways people write it, company and remark, CR LF; about 40 bytes a line (1.2 MB for 30000).
std::string formattedNumberFile(int lines) {
    const std::string names[] = {smsc::G("张三"), smsc::G("李小红"), smsc::G("王伟"),
                                 smsc::G("欧阳建国")};
    const std::string companies[] = {smsc::G("北京星辰科技"), smsc::G("上海贸易公司"),
                                     smsc::G("销售部"), smsc::G("")};
    std::string text;
    text.reserve(static_cast<size_t>(lines) * 40);
    for (int i = 0; i < lines; ++i) {
        const std::string n = std::to_string(13800000000LL + 7LL * i);
        const std::string a = n.substr(0, 3), b = n.substr(3, 4), c = n.substr(7);
        std::string written;
        switch (i % 6) {
            case 0:
                written = a + "-" + b + "-" + c;
                break;
            case 1:
                written = "+86 " + a + " " + b + " " + c;
                break;
            case 2:
                written = a + " " + b + " " + c;
                break;
            case 3:
                written = n;
                break;
            case 4:
                written = "+86" + n;
                break;
            default:
                written = "(0086)" + a + "-" + b + c;
        }
        text += names[i % 4] + "," + written + "," + companies[i % 4] + "," +
                std::to_string(20240000 + i % 1000) + "\r\n";
    }
    return text;
}

// The reader on formatted numbers; compare with BM_ExtractMobileNumbers on the same numbers
// written plainly (the target: within 2 times).
void BM_FindMobileNumbersFormatted(benchmark::State& state) {
    const std::string text = formattedNumberFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto numbers = smsc::FindMobileNumbers(text);
        benchmark::DoNotOptimize(numbers.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_FindMobileNumbersFormatted)->Arg(30000)->Unit(benchmark::kMillisecond);

// The reader on the plain numbers the extractor's benchmark reads.
void BM_FindMobileNumbersPlain(benchmark::State& state) {
    const std::string text = numberFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto numbers = smsc::FindMobileNumbers(text);
        benchmark::DoNotOptimize(numbers.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_FindMobileNumbersPlain)->Arg(30000)->Unit(benchmark::kMillisecond);

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
