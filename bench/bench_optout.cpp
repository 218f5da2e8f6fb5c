// The opt-out list: loading a list of 100000 entries (target: at most 50 ms) as it grows in an
// office (replies, numbers added by hand, imports, a few notes), checking a number, and
// leaving the listed numbers out of a send to 30000 recipients. A list of 1,000,000 entries
// (about 29 MB) still works for a send, for listing and for removing a number; the peak
// memory of the process is reported with those.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdio>
#include <string>
#include <vector>

#include "optout/OptOutList.h"
#include "platform/Gbk.h"
#include "tests/support/TempDataDir.h"

namespace {

std::string OfficeList(int entries) {
    const std::string sources[] = {smsc::G("回复"), smsc::G("手工"), smsc::G("导入")};
    std::string file = smsc::G("# 退订名单，请勿删除\r\n");
    for (int i = 0; i < entries; ++i) {
        if (i % 5000 == 0)
            file += smsc::G("# 第") + std::to_string(i / 5000 + 1) + smsc::G("批导入\r\n");
        const long long number = 13000000000LL + (i * 7919LL) % 900000000LL;
        char date[16];
        std::snprintf(date, sizeof date, "20%02d-%02d-%02d", 20 + i % 5, 1 + i % 12, 1 + i % 28);
        file +=
            std::to_string(number) + "\t" + date + "\t" + sources[i % 7 == 0 ? 0 : i % 3] + "\r\n";
    }
    return file;
}

std::vector<std::string> Recipients30000() {
    std::vector<std::string> recipients;
    for (int i = 0; i < 30000; ++i)
        recipients.push_back(std::to_string(13000000000LL + (i * 104729LL) % 900000000LL));
    return recipients;
}

void ReportPeakMemory(benchmark::State& state) {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_Load100000(benchmark::State& state) {
    smsc::test::TempFolder folder;
    folder.writeFile(smsc::kOptOutFileName, OfficeList(100000));
    const std::string path = smsc::OptOutPathIn(folder.path());
    for (auto _ : state) {
        const smsc::OptOutList list = smsc::OptOutList::Load(path);
        if (list.size() != 100000)
            state.SkipWithError("not loaded");
        benchmark::DoNotOptimize(list.size());
    }
}
BENCHMARK(BM_Load100000)->Unit(benchmark::kMillisecond);

void BM_Filter30000Against100000(benchmark::State& state) {
    const smsc::OptOutList list = smsc::OptOutList::FromBytes(OfficeList(100000));
    std::vector<std::string> recipients;
    for (int i = 0; i < 30000; ++i)
        recipients.push_back(std::to_string(13000000000LL + (i * 104729LL) % 900000000LL));
    for (auto _ : state) {
        const smsc::OptOutFilter filter = smsc::FilterOptOut(list, recipients, false, "");
        benchmark::DoNotOptimize(filter.skipped);
    }
}
BENCHMARK(BM_Filter30000Against100000)->Unit(benchmark::kMillisecond);

// The list read and filtered at a send, as the send check and the send tick do it.
void BM_PlanSendOf30000(benchmark::State& state) {
    smsc::test::TempFolder folder;
    folder.writeFile(smsc::kOptOutFileName, OfficeList(100000));
    const std::string path = smsc::OptOutPathIn(folder.path());
    const std::vector<std::string> recipients = Recipients30000();
    for (auto _ : state) {
        const smsc::OptOutSendPlan plan = smsc::PlanOptOutSend(path, recipients, false, "");
        benchmark::DoNotOptimize(plan.skipped);
    }
}
BENCHMARK(BM_PlanSendOf30000)->Unit(benchmark::kMillisecond);

// A send's filter: the list read and 30000 recipients checked.
void BM_PlanSendOf30000Against1000000(benchmark::State& state) {
    smsc::test::TempFolder folder;
    folder.writeFile(smsc::kOptOutFileName, OfficeList(1000000));
    const std::string path = smsc::OptOutPathIn(folder.path());
    const std::vector<std::string> recipients = Recipients30000();
    for (auto _ : state) {
        const smsc::OptOutSendPlan plan = smsc::PlanOptOutSend(path, recipients, false, "");
        if (plan.refusal != smsc::OptOutSendRefusal::None)
            state.SkipWithError("not read");
        benchmark::DoNotOptimize(plan.skipped);
    }
    ReportPeakMemory(state);
}
BENCHMARK(BM_PlanSendOf30000Against1000000)->Unit(benchmark::kMillisecond);

// "optout list": read, every entry out as a line.
void BM_List1000000(benchmark::State& state) {
    smsc::test::TempFolder folder;
    folder.writeFile(smsc::kOptOutFileName, OfficeList(1000000));
    const std::string path = smsc::OptOutPathIn(folder.path());
    for (auto _ : state) {
        const smsc::OptOutList list = smsc::OptOutList::Load(path);
        std::string lines;
        for (const smsc::OptOutList::Entry& e : list.entries()) {
            lines += e.number;
            lines += '\t';
            lines += e.date;
            lines += '\n';
        }
        if (list.size() != 1000000)
            state.SkipWithError("not loaded");
        benchmark::DoNotOptimize(lines.size());
    }
    ReportPeakMemory(state);
}
BENCHMARK(BM_List1000000)->Unit(benchmark::kMillisecond);

// "optout remove": under the lock, read, one number out, the file written back.
void BM_Remove1From1000000(benchmark::State& state) {
    smsc::test::TempFolder folder;
    folder.writeFile(smsc::kOptOutFileName, OfficeList(1000000));
    const std::string path = smsc::OptOutPathIn(folder.path());
    long long i = 0;
    for (auto _ : state) {
        const std::string number = std::to_string(13000000000LL + (i++ * 7919LL) % 900000000LL);
        const smsc::OptOutChange change = smsc::RemoveFromOptOutFile(path, {number});
        if (change.changed != 1)
            state.SkipWithError("not removed");
    }
    ReportPeakMemory(state);
}
BENCHMARK(BM_Remove1From1000000)->Unit(benchmark::kMillisecond);

}  // namespace
