// Campaign journals: 1,000,000 numbers from a customer export (name, number and city per
// line, some numbers twice) read, extracted, repeats dropped and written into a new journal;
// then what a resume reads before its first request (the journal, its requests and the
// first open batch). Peak memory is the process's (run this benchmark on its own).
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "campaign/CampaignJournal.h"
#include "campaign/CampaignNumbers.h"
#include "platform/Gbk.h"
#include "sending/SmsSend.h"
#include "tests/support/TempDataDir.h"

namespace {

constexpr int kNumbers = 1000000;

struct Files {
    smsc::test::TempFolder folder;
    std::string exportPath = folder.file("customers.csv");
    Files() {
        std::ofstream out(exportPath, std::ios::binary);
        const std::string city = smsc::G("北京市朝阳区");
        const std::string name = smsc::G("客户");
        static const long long prefixes[] = {130, 131, 132, 133, 134, 135, 136, 137, 138, 139,
                                             147, 150, 151, 152, 153, 155, 156, 157, 158, 159,
                                             180, 182, 183, 185, 186, 187, 188, 189};
        constexpr long long kPrefixes = std::size(prefixes);
        for (long long i = 0; i < kNumbers + kNumbers / 50; ++i) {  // 2 % listed twice
            const long long k = i % kNumbers;
            const long long n =
                prefixes[k % kPrefixes] * 100000000LL + (k / kPrefixes) * 7919 % 100000000LL;
            out << name << i << "," << n << "," << city << "\r\n";
        }
    }
};

Files& files() {
    static Files f;
    return f;
}

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void create(const std::string& journal, size_t* count) {
    smsc::campaign::CampaignNumbers collector;
    collector.addText(readAll(files().exportPath));
    const std::vector<std::string> numbers = collector.take();
    *count = numbers.size();
    smsc::campaign::CampaignSettings settings;
    settings.user = "demo";
    settings.text = smsc::G(
        "尊敬的会员：本周六起全场商品八折，积分翻倍，凭短信到店另有精美礼品相送，"
        "数量有限，送完即止。退订回T");
    std::string error;
    auto created = smsc::campaign::CampaignJournal::Create(
        journal, settings, numbers, smsc::PlanSmsPieces(settings.text).texts, &error);
    if (!created) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
}

void BM_CreateJournalOfAMillion(benchmark::State& state) {
    files();
    const double before = peakMegabytes();
    size_t count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(files().folder.file("big.sqlite").c_str());
        state.ResumeTiming();
        create(files().folder.file("big.sqlite"), &count);
    }
    state.counters["numbers"] = static_cast<double>(count);
    state.counters["peak_rss_mb"] = peakMegabytes();
    state.counters["peak_rss_before_mb"] = before;
}
BENCHMARK(BM_CreateJournalOfAMillion)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ResumeReadOfAMillion(benchmark::State& state) {
    const std::string path = files().folder.file("resume.sqlite");
    size_t count = 0;
    create(path, &count);
    size_t bytes = 0;
    for (auto _ : state) {
        std::string error;
        auto journal = smsc::campaign::CampaignJournal::Open(path, &error);
        int batch = 0;
        for (const auto& request : journal->requests())
            if (request.state != smsc::campaign::RequestState::Accepted) {
                batch = request.batch;
                break;
            }
        bytes = journal->batchNumberString(batch, &error)->size();
    }
    state.counters["batch_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ResumeReadOfAMillion)->Unit(benchmark::kMillisecond);

}  // namespace
