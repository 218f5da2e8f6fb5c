// The send plan of a full list: 30000 numbers of an office's customer file (every carrier,
// some repeated, a verification copy every 100) with a two-piece message, against the
// segment database made from the committed libphonenumber table. The core alone, the page's
// line (reading the list and the editor, writing the labels), the first computation with
// the database still to read, and a key typed into the editor while the list is full.
#include <benchmark/benchmark.h>

#include <QPlainTextEdit>

#include <random>
#include <string>
#include <vector>

#include "lookup/Carriers.h"
#include "platform/Gbk.h"
#include "recipients/RecipientPanel.h"
#include "sending/PlanLine.h"
#include "sending/SendPlan.h"
#include "sending/SmsPage.h"

namespace {

const std::string kDatabase = std::string(SMSC_SEGMENT_DATA_DIR) + "/sjhmd.dat";
const std::string kVerification = "13900000000";

std::vector<std::string> customerList(size_t count) {
    static const int prefixes[] = {130, 131, 132, 133, 134, 135, 136, 137, 138, 139,
                                   147, 150, 151, 152, 153, 155, 156, 157, 158, 159,
                                   180, 182, 183, 185, 186, 187, 188, 189};
    std::mt19937_64 random(26);
    std::vector<std::string> list;
    list.reserve(count);
    while (list.size() < count) {
        if (list.size() % 100 == 0) {
            list.push_back(kVerification);
            continue;
        }
        if (list.size() > 1000 && random() % 20 == 0) {  // one in twenty imported twice
            list.push_back(list[random() % list.size()]);
            continue;
        }
        const int prefix = prefixes[random() % std::size(prefixes)];
        list.push_back(
            std::to_string(prefix * 100000000LL + static_cast<long long>(random() % 100000000)));
    }
    return list;
}

std::string message() {
    return smsc::G(
        "尊敬的会员：本周六起全场商品八折，积分翻倍，凭短信到店另有精美礼品相送，"
        "数量有限，送完即止。详情请咨询门店或拨打客服热线。退订回T");
}

void BM_SendPlan30000(benchmark::State& state) {
    const std::vector<std::string> list = customerList(30000);
    smsc::CarrierTable carriers;
    carriers.setDatabasePath(kDatabase);
    const std::string text = message();
    smsc::SendPlanFigures plan = smsc::ComputeSendPlan(list, &kVerification, 1, carriers);
    for (auto _ : state) {
        plan = smsc::ComputeSendPlan(list, &kVerification, smsc::SmsUnitsPerNumber(text), carriers);
        benchmark::DoNotOptimize(plan);
    }
    state.counters["units"] = static_cast<double>(plan.units);
    state.counters["duplicates"] = static_cast<double>(plan.duplicates);
    state.counters["other"] = static_cast<double>(plan.other);
}
BENCHMARK(BM_SendPlan30000)->Unit(benchmark::kMillisecond);

// The first plan after start-up also reads the carriers of the segment database.
void BM_SendPlan30000WithDatabaseLoad(benchmark::State& state) {
    const std::vector<std::string> list = customerList(30000);
    for (auto _ : state) {
        smsc::CarrierTable carriers;
        carriers.setDatabasePath(kDatabase);
        benchmark::DoNotOptimize(smsc::ComputeSendPlan(list, &kVerification, 2, carriers));
    }
}
BENCHMARK(BM_SendPlan30000WithDatabaseLoad)->Unit(benchmark::kMillisecond);

struct Page {
    smsc::SmsPage page;
    smsc::CarrierTable carriers;
    Page() {
        carriers.setDatabasePath(kDatabase);
        page.plan()->setCarriers(&carriers);
        page.panel()->AddRecipients(customerList(30000));
        page.setMessageText(message());
        page.plan()->refresh();
    }
};

void BM_PlanLineRefresh30000(benchmark::State& state) {
    Page p;
    for (auto _ : state)
        p.page.plan()->refresh();
}
BENCHMARK(BM_PlanLineRefresh30000)->Unit(benchmark::kMillisecond);

// One key in the editor: the length caption and the plan's restarted wait, nothing more.
void BM_TypingWith30000Recipients(benchmark::State& state) {
    Page p;
    for (auto _ : state) {
        p.page.Memo1->insertPlainText(QStringLiteral("好"));
        if (p.page.Memo1->document()->characterCount() > 400)
            p.page.setMessageText(message());
    }
}
BENCHMARK(BM_TypingWith30000Recipients)->Unit(benchmark::kMicrosecond);

}  // namespace
