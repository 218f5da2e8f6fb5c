// Number lookup on the segment database made from the committed libphonenumber table:
// opening it at start-up, a number, an area code, the segments of the largest city by
// carrier (the core and the page's list), and building the province/city tree from
// CityInfo.dat.
#include <benchmark/benchmark.h>

#include <QRadioButton>
#include <QTreeWidget>

#include <cstdlib>
#include <string>

#include "lookup/SearchPage.h"
#include "lookup/SegmentDatabase.h"
#include "lookup/SegmentLookup.h"
#include "platform/DataDir.h"
#include "platform/Gbk.h"

namespace {

const std::string kDataDir = std::string(SMSC_SEGMENT_DATA_DIR) + "/";

smsc::SegmentDatabase& database() {
    static smsc::SegmentDatabase db;
    if (!db.isOpen() && !db.open(kDataDir + "sjhmd.dat")) {
        std::fprintf(stderr, "no segment database in %s\n", kDataDir.c_str());
        std::exit(1);
    }
    return db;
}

void BM_OpenSegmentDatabase(benchmark::State& state) {
    for (auto _ : state) {
        smsc::SegmentDatabase db;
        benchmark::DoNotOptimize(db.open(kDataDir + "sjhmd.dat"));
    }
}
BENCHMARK(BM_OpenSegmentDatabase)->Unit(benchmark::kMillisecond);

void BM_NumberLookup(benchmark::State& state) {
    auto& db = database();
    long long number = 13800000000LL;
    for (auto _ : state) {
        number += 170000;  // a different segment each time
        if (number > 18999999999LL)
            number = 13000000000LL;
        auto answer = smsc::LookupNumber(db, std::to_string(number));
        benchmark::DoNotOptimize(answer.fields.data());
    }
}
BENCHMARK(BM_NumberLookup)->Unit(benchmark::kMicrosecond);

void BM_AreaCodeLookup(benchmark::State& state) {
    auto& db = database();
    const char* codes[] = {"010", "0519", "021", "0999", "0000"};
    size_t i = 0;
    for (auto _ : state) {
        auto answer = smsc::LookupAreaCode(db, codes[i++ % 5]);
        benchmark::DoNotOptimize(answer.fields.data());
    }
}
BENCHMARK(BM_AreaCodeLookup)->Unit(benchmark::kMicrosecond);

void BM_LargestCitySegmentsByCarrier(benchmark::State& state) {
    auto& db = database();
    const std::string beijing = smsc::G("北京");
    size_t listed = 0;
    for (auto _ : state) {
        auto entries = smsc::CitySegmentEntries(db, beijing, smsc::CarrierFilter::Mobile);
        listed = entries ? entries->size() : 0;
        benchmark::DoNotOptimize(entries);
    }
    state.counters["segments"] = static_cast<double>(listed);
}
BENCHMARK(BM_LargestCitySegmentsByCarrier)->Unit(benchmark::kMillisecond);

// The page: 北京 selected, then the carrier options clicked in turn.
void BM_LargestCityOnThePage(benchmark::State& state) {
    smsc::SetDataDir(kDataDir);
    smsc::SearchPage page(database());
    smsc::SearchPage::Treev3_Initialization(page.TreeView3);
    page.TreeView3->topLevelItem(0)->child(0)->setSelected(true);  // 北京 北京
    QRadioButton* options[] = {page.RadioButton2, page.RadioButton3, page.RadioButton4};
    size_t i = 0;
    for (auto _ : state)
        options[i++ % 3]->click();
}
BENCHMARK(BM_LargestCityOnThePage)->Unit(benchmark::kMillisecond);

void BM_Treev3_Initialization(benchmark::State& state) {
    smsc::SetDataDir(kDataDir);
    QTreeWidget tree;
    for (auto _ : state)
        benchmark::DoNotOptimize(smsc::SearchPage::Treev3_Initialization(&tree));
}
BENCHMARK(BM_Treev3_Initialization)->Unit(benchmark::kMillisecond);

}  // namespace
