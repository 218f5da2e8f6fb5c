// Building the request bodies of the largest sends: 30000 numbers in one multipart post.
#include <benchmark/benchmark.h>

#include <chrono>

#include "platform/Gbk.h"
#include "service/ServiceClient.h"

namespace {

std::string Numbers(int count) {
    std::string numbers;
    numbers.reserve(static_cast<size_t>(count) * 12);
    for (int i = 0; i < count; ++i)
        numbers += "13800000000|";
    return numbers;
}

void BM_BuildMultipartBody_Sms(benchmark::State& state) {
    const std::string numbers = Numbers(static_cast<int>(state.range(0)));
    const std::string text =
        smsc::G("（1/2）尊敬的客户您好，本店周年庆全场八折，欢迎光临！") + std::string(40, 'x');
    const std::string boundary = smsc::MakeBoundary(std::chrono::system_clock::now());
    size_t bytes = 0;
    for (auto _ : state) {
        std::string body = smsc::BuildMultipartBody(boundary,
                                                    {{"username", "user"},
                                                     {"password", "pass"},
                                                     {"smsnumber", numbers},
                                                     {"smscontent", text}},
                                                    std::nullopt, {});
        bytes = body.size();
        benchmark::DoNotOptimize(body);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["body_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_BuildMultipartBody_Sms)->Arg(30000)->Unit(benchmark::kMicrosecond);

void BM_BuildMultipartBody_Mms(benchmark::State& state) {
    const std::string numbers = Numbers(30000);
    const std::string file(51200, '\x5A');
    const smsc::MultipartFile part{"mmsfile", "C:\\mms\\a.emm", "application/octet-stream"};
    for (auto _ : state) {
        std::string body = smsc::BuildMultipartBody(
            "--------010203040506007",
            {{"username", "user"}, {"password", "pass"}, {"mms_num", numbers}, {"mmstitle", "t"}},
            part, file);
        benchmark::DoNotOptimize(body);
    }
}
BENCHMARK(BM_BuildMultipartBody_Mms)->Unit(benchmark::kMicrosecond);

void BM_SplitAnswer_NumberList(benchmark::State& state) {
    const std::string answer = "4|" + Numbers(30000);
    for (auto _ : state) {
        auto fields = smsc::SplitAnswer(answer);
        benchmark::DoNotOptimize(fields);
    }
}
BENCHMARK(BM_SplitAnswer_NumberList)->Unit(benchmark::kMicrosecond);

}  // namespace
