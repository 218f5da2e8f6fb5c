// The check before a send: a 500-character marketing text against a word list of 10,000
// entries (the whole check, the one-pass word search alone, and reading the list). And the
// daily cap on a batch of 30,000 numbers against a day's history of 200,000 sends: asked
// for the whole batch at once (a page's send) and number by number (a campaign batch).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "compliance/Compliance.h"
#include "compliance/SendHistory.h"
#include "platform/Gbk.h"
#include "tests/support/TempDataDir.h"

namespace {

// Words of 2 to 6 common characters, as a platform's list reads; distinct, fixed seed.
std::vector<std::string> wordList(int count) {
    const std::u32string pool =
        U"的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动同工也能"
        U"下过子说产种面而方后多定行学法所民得经十三之进着等部度家电力里如水化高自二理起小物现实加"
        U"量都"
        U"两体制机当使点从业本去把性好应开它合还因由其些然前外天政四日那社义事平形相全表间样与关各"
        U"重新线"
        U"内数正心反你明看原又么利比或但质气第向道命此变条只没结解问意建月公无系军很情者最立代想已"
        U"通并提";
    std::vector<std::string> words;
    words.reserve(static_cast<size_t>(count));
    unsigned seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    while (static_cast<int>(words.size()) < count) {
        std::string utf8;
        const int length = 2 + static_cast<int>(next() >> 16) % 5;
        for (int i = 0; i < length; ++i)
            smsc::AppendUtf8(utf8, pool[(next() >> 16) % pool.size()]);
        words.push_back(smsc::G(utf8));
    }
    return words;
}

// About 500 characters: a signature, an offer, dates, prices, an address, a link, the line.
std::string marketingText() {
    std::string text =
        "【星河商城】尊敬的会员您好！春季焕新节火热进行中，3月1日至3月15日全场满300元减50元，"
        "会员再享9.5折，积分可抵现金。新品上市：春季连衣裙、休闲西装、运动鞋、真丝围巾等千余款"
        "商品同步上架，部分商品买二送一。门店地址：北京市朝阳区建国路88号星河广场一层，营业时间"
        "每日10:00-22:00，地铁1号线国贸站C口步行200米即到。线上商城同步优惠，访问 "
        "http://www.xinghe-mall.example/spring 了解详情，首次下单再送20元无门槛券。";
    while (smsc::GbkCharCount(smsc::G(text)) < 490)
        text += "活动期间每天前100名到店顾客可领取精美礼品一份，数量有限，先到先得。";
    return smsc::G(text + "拒收请回复R");
}

void BM_CheckSmsText500Against10000Words(benchmark::State& state) {
    smsc::ComplianceLists lists;
    lists.words = smsc::WordMatcher(wordList(10000));
    lists.shortLinkHosts = {"t.cn", "url.cn", "dwz.cn", "suo.im", "bit.ly", "tinyurl.com"};
    smsc::CheckContext context;
    context.settings.configured = true;
    context.settings.signature = smsc::G("【星河商城】");
    context.kind = smsc::MessageKind::Marketing;
    context.minuteOfDay = 10 * 60;
    const std::string text = marketingText();
    state.counters["characters"] = smsc::GbkCharCount(text);
    for (auto _ : state) {
        smsc::ComplianceReport report = smsc::CheckSmsGbk(text, context, lists);
        benchmark::DoNotOptimize(report.findings.data());
    }
}
BENCHMARK(BM_CheckSmsText500Against10000Words)->Unit(benchmark::kMicrosecond);

void BM_WordSearch500Against10000Words(benchmark::State& state) {
    const smsc::WordMatcher matcher(wordList(10000));
    const std::string text = marketingText();
    for (auto _ : state) {
        auto found = matcher.findIn(text);
        benchmark::DoNotOptimize(found.data());
    }
}
BENCHMARK(BM_WordSearch500Against10000Words)->Unit(benchmark::kMicrosecond);

void BM_BuildMatcher10000Words(benchmark::State& state) {
    const std::vector<std::string> words = wordList(10000);
    for (auto _ : state) {
        smsc::WordMatcher matcher(words);
        benchmark::DoNotOptimize(matcher.size());
    }
}
BENCHMARK(BM_BuildMatcher10000Words)->Unit(benchmark::kMillisecond);

// A day's history of 200,000 numbers (the office's earlier sends) and a batch of 30,000, one
// in three of them already sent to today.
struct CapFiles {
    smsc::test::TempFolder folder;
    std::unique_ptr<smsc::SendHistory> history;
    std::vector<std::string> batch;
    int day = 20261210;
};

const CapFiles& capFiles() {
    static CapFiles f;
    if (f.history)
        return f;
    std::string error;
    f.history = smsc::SendHistory::Open(f.folder.file("SendHistory.sqlite"), &error);
    std::vector<std::string> sent;
    for (long long i = 0; i < 200000; ++i)
        sent.push_back(std::to_string(13800000000LL + i * 7));
    f.history->add(f.day, sent, &error);
    for (long long i = 0; i < 30000; ++i)
        f.batch.push_back(std::to_string(13800000000LL + i * 21 + (i % 3 ? 1 : 0)));
    return f;
}

void BM_DailyCapBatch30000AtOnce(benchmark::State& state) {
    const CapFiles& f = capFiles();
    for (auto _ : state) {
        auto counts = f.history->counts(f.day, f.batch);
        benchmark::DoNotOptimize(counts->data());
    }
}
BENCHMARK(BM_DailyCapBatch30000AtOnce)->Unit(benchmark::kMillisecond);

void BM_DailyCapBatch30000NumberByNumber(benchmark::State& state) {
    const CapFiles& f = capFiles();
    for (auto _ : state) {
        long long capped = 0;
        for (const std::string& n : f.batch)
            capped += f.history->counts(f.day, {n})->front() > 0 ? 1 : 0;
        benchmark::DoNotOptimize(capped);
    }
}
BENCHMARK(BM_DailyCapBatch30000NumberByNumber)->Unit(benchmark::kMillisecond);

}  // namespace
