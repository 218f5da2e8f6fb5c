// Variable SMS of 30000 rows from an office-made .xlsx (姓名, 手机号码 written in the forms
// people use, 订单号, 金额, 日期): the table read, then every row rendered, checked (number,
// repeat, opt-out, empty cells, the check before sending on each distinct text) and grouped.
// Target: rendering, checking and grouping within 300 ms and 100 MB.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <string>

#include "compliance/Compliance.h"
#include "optout/OptOutList.h"
#include "platform/Gbk.h"
#include "tests/recipients/SpreadsheetFixtures.h"
#include "tests/support/TempDataDir.h"
#include "variable/VariableSms.h"

namespace {

using namespace smsc;
using namespace smsc::variable;
using test::FixtureCell;

constexpr int kRows = 30000;

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Numbers as a sales office types them: as numbers, spaced, dashed, with the country code.
FixtureCell phoneCell(uint32_t row, long long n) {
    const std::string s = std::to_string(n);
    switch (row % 5) {
        case 0:
            return FixtureCell::num(row, 2, static_cast<double>(n));
        case 1:
            return FixtureCell::str(row, 2,
                                    s.substr(0, 3) + " " + s.substr(3, 4) + " " + s.substr(7));
        case 2:
            return FixtureCell::str(row, 2, "+86 " + s);
        case 3:
            return FixtureCell::str(row, 2,
                                    s.substr(0, 3) + "-" + s.substr(3, 4) + "-" + s.substr(7));
        default:
            return FixtureCell::str(row, 2, "（0086）" + s);
    }
}

struct Files {
    test::TempFolder folder;
    std::string xlsx = folder.file("订单.xlsx");
    Files() {
        static const char* const kFamily[] = {"王", "李", "张", "刘", "陈",
                                              "杨", "黄", "赵", "吴", "周"};
        static const char* const kGiven[] = {"伟", "芳", "娜", "秀英", "敏", "静", "丽", "强"};
        test::FixtureSheet sheet;
        sheet.reserve(kRows * 5 + 5);
        const char* headers[] = {"姓名", "手机号码", "订单号", "金额", "日期"};
        for (uint32_t c = 0; c < 5; ++c)
            sheet.push_back(FixtureCell::str(1, c + 1, headers[c]));
        for (int i = 0; i < kRows; ++i) {
            const auto row = static_cast<uint32_t>(i + 2);
            sheet.push_back(FixtureCell::str(
                row, 1,
                std::string(kFamily[i % 10]) + kGiven[(i / 10) % 8] + kGiven[(i / 80) % 8]));
            sheet.push_back(phoneCell(row, 13800000000LL + 7LL * i));
            char order[32];
            std::snprintf(order, sizeof order, "DD2024%02d%06d", 1 + i % 12, i);
            sheet.push_back(FixtureCell::str(row, 3, order));
            sheet.push_back(FixtureCell::num(row, 4, 19.9 + (i % 500) * 1.5));
            char date[16];
            std::snprintf(date, sizeof date, "2024-%02d-%02d", 1 + i % 12, 1 + i % 28);
            sheet.push_back(FixtureCell::str(row, 5, date));
        }
        test::WriteXlsx(xlsx, {sheet});
    }
};

Files& files() {
    static Files f;
    return f;
}

const VariableTable& table() {
    static const VariableTable t = [] {
        std::string error;
        std::optional<VariableTable> read = ReadVariableTable(files().xlsx, &error);
        if (!read) {
            std::fprintf(stderr, "%s\n", GbkToUtf8(error).c_str());
            std::exit(1);
        }
        return *read;
    }();
    return t;
}

void BM_ReadOrderTable(benchmark::State& state) {
    files();
    for (auto _ : state) {
        std::string error;
        benchmark::DoNotOptimize(ReadVariableTable(files().xlsx, &error));
    }
    state.counters["peak_rss_mb"] = peakMegabytes();
}
BENCHMARK(BM_ReadOrderTable)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_RenderCheckGroup30000(benchmark::State& state) {
    const VariableTable& t = table();
    const double before = peakMegabytes();
    const ParsedTemplate parsed =
        ParseTemplate(G("尊敬的{姓名}，您的订单{订单号}（{金额}元，{日期}）已发货，请注意查收。"));
    CheckContext context;
    const ComplianceLists lists = LoadComplianceLists(files().folder.path(), false);
    std::string optOutFile;
    for (int i = 0; i < 300; ++i)
        optOutFile +=
            std::to_string(13800000000LL + 70LL * i) + "\t2024-01-01\t" + G("回复") + "\r\n";
    const OptOutList optOut = OptOutList::FromBytes(optOutFile);
    PlanOptions options;
    options.optedOut = [&](const std::string& n) { return optOut.contains(n); };
    options.check = [&](const std::string& gbk) { return CheckSmsGbk(gbk, context, lists); };
    VariablePlan plan;
    for (auto _ : state) {
        plan = PlanVariableSms(parsed, t, options);
        benchmark::DoNotOptimize(plan.totals);
    }
    state.counters["rows"] = static_cast<double>(plan.totals.rows);
    state.counters["sending"] = static_cast<double>(plan.totals.sending);
    state.counters["texts"] = static_cast<double>(plan.totals.texts);
    state.counters["findings"] = static_cast<double>(plan.findings.size());
    state.counters["peak_rss_mb"] = peakMegabytes();
    state.counters["peak_rss_before_mb"] = before;
}
BENCHMARK(BM_RenderCheckGroup30000)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
