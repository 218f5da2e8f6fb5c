// The record pages' own work besides the request: 10000 received records parsed and listed
// and their export; 500 send records parsed and listed; a list of 30000 numbers shown in
// TForm18 and its export.
#include <benchmark/benchmark.h>

#include <QTreeWidget>

#include <string>

#include "platform/AtomicFile.h"
#include "platform/Gbk.h"
#include "records/ReceivedPage.h"
#include "records/RecordAnswers.h"
#include "records/RecordsPage.h"
#include "records/TForm18.h"
#include "tests/support/TempDataDir.h"

namespace {

std::string ReceivedAnswerText(int n) {
    std::string answer = "4|";
    const std::string text = smsc::G("您好，我已收到通知，明天上午九点准时参加会议。谢谢！");
    for (int i = 0; i < n; ++i)
        answer += std::to_string(13900000000LL + i) + "*2024-01-05 16:29^" + text + "[$$]";
    return answer;
}

void BM_ReceivedParseAndList(benchmark::State& state) {
    const std::string answer = ReceivedAnswerText(static_cast<int>(state.range(0)));
    smsc::ReceivedPage page;
    for (auto _ : state) {
        smsc::ReceivedAnswer parsed = smsc::ParseReceivedAnswer(answer);
        page.showRecords(std::move(parsed.records), "user");
        benchmark::DoNotOptimize(page.ListView1->topLevelItemCount());
    }
}
BENCHMARK(BM_ReceivedParseAndList)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ReceivedExport(benchmark::State& state) {
    const smsc::ReceivedAnswer parsed =
        smsc::ParseReceivedAnswer(ReceivedAnswerText(static_cast<int>(state.range(0))));
    smsc::test::TempFolder folder;
    for (auto _ : state) {
        const std::string bytes = smsc::ReceivedExportBytes(parsed.records, "user");
        benchmark::DoNotOptimize(smsc::WriteFileAtomically(folder.file("out.txt"), bytes));
    }
}
BENCHMARK(BM_ReceivedExport)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_SendRecordsParseAndList(benchmark::State& state) {
    std::string answer = "4|";
    const std::string text =
        smsc::G("尊敬的客户：本周六上午十点在公司总部举行新品发布会，欢迎光临。");
    for (int i = 0; i < state.range(0); ++i)
        answer += std::to_string(100000 + i) + "[**]3000[**]" + text +
                  smsc::G("[**]已提交[**]短信") + "[**][**]2024-01-05 10:00:00[$$]";
    smsc::RecordsPage page;
    for (auto _ : state) {
        smsc::SendRecordsAnswer parsed = smsc::ParseSendRecordsAnswer(answer);
        page.showRecords(std::move(parsed.records));
        benchmark::DoNotOptimize(page.ListView2->topLevelItemCount());
    }
}
BENCHMARK(BM_SendRecordsParseAndList)->Arg(500)->Unit(benchmark::kMillisecond);

std::string NumberListText(int n) {
    std::string answer = "4|";
    for (int i = 0; i < n; ++i)
        answer += std::to_string(13900000000LL + i) + "|";
    return answer;
}

void BM_NumberListShown(benchmark::State& state) {
    const std::string answer = NumberListText(static_cast<int>(state.range(0)));
    smsc::TForm18 window;
    for (auto _ : state) {
        smsc::NumberListAnswer parsed = smsc::ParseNumberListAnswer(answer);
        window.setNumbers("12345", std::move(parsed.numbers));
        benchmark::DoNotOptimize(window.numbers().size());
    }
}
BENCHMARK(BM_NumberListShown)->Arg(30000)->Unit(benchmark::kMillisecond);

void BM_NumberListExport(benchmark::State& state) {
    const smsc::NumberListAnswer parsed =
        smsc::ParseNumberListAnswer(NumberListText(static_cast<int>(state.range(0))));
    smsc::test::TempFolder folder;
    for (auto _ : state) {
        const std::string bytes = smsc::NumberListExportBytes("12345", parsed.numbers);
        benchmark::DoNotOptimize(smsc::WriteFileAtomically(folder.file("out.txt"), bytes));
    }
}
BENCHMARK(BM_NumberListExport)->Arg(30000)->Unit(benchmark::kMillisecond);

}  // namespace
