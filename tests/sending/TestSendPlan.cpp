// The send plan's figures: carriers from the segment database first and the carrier rules
// for segments it does not place, opt-outs, repeated entries (verification copies
// excepted), pieces and units; its texts, and the numbers it reads from the status line and
// the MMS cost note.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "lookup/Carriers.h"
#include "platform/Gbk.h"
#include "recipients/Duplicates.h"
#include "sending/SendPlan.h"
#include "tests/lookup/SegmentFixture.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;

namespace {

std::string chars(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += G("字");
    return text;
}

class SendPlanTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<test::SegmentFixtureRow> rows = test::SmallSegmentRows();
        // A segment the rules do not know, and one where the database overrules them.
        rows.push_back({"1700000", "北京", "北京", "中国联通", "010"});
        rows.push_back({"1340001", "北京", "北京", "中国电信", "010"});
        rows.push_back({"1920000", "北京", "北京", "中国联通", "010"});
        rows.push_back({"1921111", "", "", "中国广电", ""});
        ASSERT_TRUE(test::WriteSegmentDatabase(folder.file("sjhmd.dat"), rows));
        carriers.setDatabasePath(folder.file("sjhmd.dat"));
    }
    test::TempFolder folder;
    CarrierTable carriers;
};

TEST_F(SendPlanTest, CarriersComeFromTheDatabaseFirstThenTheRules) {
    const struct {
        const char* number;
        Carrier withDatabase;
        Carrier rulesOnly;
    } cases[] = {
        {"13000001111", Carrier::Unicom, Carrier::Unicom},   // database and rules agree
        {"13400011234", Carrier::Telecom, Carrier::Mobile},  // the database overrules them
        {"17000001234", Carrier::Unicom, Carrier::Telecom},
        {"19200001234", Carrier::Unicom, Carrier::Broadnet},  // the database overrules them
        {"19211111234", Carrier::Broadnet, Carrier::Broadnet},
        {"19800001234", Carrier::Mobile, Carrier::Mobile},    // no row: the rules
        {"13490001234", Carrier::Telecom, Carrier::Telecom},  // no card type: the rules
        {"15300001234", Carrier::Telecom, Carrier::Telecom},  // no row: the rules
        {"15600001234", Carrier::Unicom, Carrier::Unicom},
        {"12000001234", Carrier::Other, Carrier::Other},
        {"1380000123", Carrier::Other, Carrier::Other},  // ten digits
        {"1380000123a", Carrier::Other, Carrier::Other},
        {"23800001234", Carrier::Other, Carrier::Other},
    };
    CarrierTable rulesOnly;
    for (const auto& c : cases) {
        EXPECT_EQ(carriers.carrierOf(c.number), c.withDatabase) << c.number;
        EXPECT_EQ(rulesOnly.carrierOf(c.number), c.rulesOnly) << c.number;
    }
    CarrierTable missing;
    missing.setDatabasePath(folder.file("none.dat"));
    EXPECT_EQ(missing.carrierOf("13400011234"), Carrier::Mobile);
}

TEST_F(SendPlanTest, FiguresOfAMixedList) {
    const std::string verification = "13900000000";
    const std::vector<std::string> list{
        verification,  "13000001111", "13400011234", "17000001234", "13490001234",
        "15300001234", "18600009999", "12345",       "13000001111", verification,
        "15600001234", "13000001111", "18600009999", "1380000123a",
    };
    const std::set<std::string> optedOut{"18600009999", verification};
    const OptOutTest test = [&](const std::string& n) { return optedOut.count(n) > 0; };

    const SendPlanFigures plan = ComputeSendPlan(list, &verification, 3, carriers, test);
    EXPECT_EQ(plan.optedOut, 2);  // the verification copies are never left out
    EXPECT_EQ(plan.numbers, 12);
    EXPECT_EQ(plan.mobile, 2);  // the two verification copies
    EXPECT_EQ(plan.unicom, 5);
    EXPECT_EQ(plan.telecom, 3);  // 1349 is the satellite block of China Telecom
    EXPECT_EQ(plan.other, 2);
    EXPECT_EQ(plan.duplicates, 3);  // 13000001111 twice more, 18600009999 once more
    EXPECT_EQ(plan.perNumber, 3);
    EXPECT_EQ(plan.units, 36);
    EXPECT_EQ(SendPlanText(plan),
              G("移动 2  联通 5  电信 3  其他 2  退订 2  重复 3  每号 3 条，预计扣除 36 条"));

    // Without the option the copies are ordinary entries; without a list nothing is out.
    const SendPlanFigures plain = ComputeSendPlan(list, nullptr, 1, carriers);
    EXPECT_EQ(plain.numbers, 14);
    EXPECT_EQ(plain.duplicates, 4);
    EXPECT_EQ(SendPlanText(plain),
              G("移动 2  联通 7  电信 3  其他 2  重复 4  每号 1 条，预计扣除 14 条"));
    // China Broadnet's numbers are counted apart once there are any.
    const SendPlanFigures broadnet =
        ComputeSendPlan({"19211111234", "19800001234", "13000001111"}, nullptr, 1, carriers);
    EXPECT_EQ(SendPlanText(broadnet),
              G("移动 1  联通 1  电信 0  广电 1  其他 0  每号 1 条，预计扣除 3 条"));

    // An entry holding "|" or "*" is as many numbers as the service reads from it.
    const std::vector<std::string> separated{"13000001111|", "13400011234*",
                                             "15300001234|18600009999", "|*"};
    const SendPlanFigures pieces = ComputeSendPlan(separated, nullptr, 2, carriers, test);
    EXPECT_EQ(pieces.numbers, 3);
    EXPECT_EQ(pieces.optedOut, 1);
    EXPECT_EQ(pieces.units, 6);
    // The daily cap too counts each number of such an entry, and never the verification copy.
    const SendPlanFigures capped = ComputeSendPlan(separated, &verification, 1, carriers, {}, test);
    EXPECT_EQ(capped.capped, 1);
    const SendPlanFigures copy =
        ComputeSendPlan({verification}, &verification, 1, carriers, {}, test);
    EXPECT_EQ(copy.capped, 0);
    EXPECT_EQ(copy.numbers, 1);

    EXPECT_FALSE(ExceedsQuota(plan, std::nullopt));
    EXPECT_FALSE(ExceedsQuota(plan, 36));
    EXPECT_TRUE(ExceedsQuota(plan, 35));
    EXPECT_EQ(RemainingQuotaText(35), G("（剩余 35 条）"));
    EXPECT_EQ(QuotaQuestion(36, 35),
              G("预计扣除36条，超过剩余的35条，部分号码或后面的分段可能发送失败。仍要发送吗？"));
}

TEST(SendPlanTexts, UnitsPerNumberAndTheNumbersReadFromTexts) {
    const struct {
        std::string message;
        long long pieces;
    } messages[] = {
        {"", 0},          {"\r\n", 0},     {" ", 1},        {chars(70), 1},
        {chars(71), 2},   {chars(130), 2}, {chars(131), 3}, {chars(70) + "\r\n", 1},
        {chars(600), 10},  // ten pieces: the pieces shrink so that each keeps within 70
    };
    for (const auto& m : messages)
        EXPECT_EQ(SmsUnitsPerNumber(m.message), m.pieces) << m.message.size();

    const struct {
        const char* text;
        std::optional<long long> quota;
    } statusTexts[] = {
        {"剩余短信10000条", 10000},
        {"剩余短信0条", 0},
        {"剩余短信条", std::nullopt},
        {"剩余短信-5条", std::nullopt},
        {"剩余短信12a条", std::nullopt},
        {"剩余短信12条 ", std::nullopt},
        {"", std::nullopt},
        {"剩余短信9999999999999999999条", std::nullopt},
    };
    for (const auto& s : statusTexts)
        EXPECT_EQ(QuotaOfStatusText(G(s.text)), s.quota) << s.text;

    EXPECT_EQ(UnitsOfCostNote(G("本系统发送短信彩信共享剩余条数，每发一条彩信将扣除5条短信")), 5);
    EXPECT_EQ(UnitsOfCostNote(G("本系统发送短信彩信共享剩余条数，每发一条彩信将扣除12条短信")), 12);
    EXPECT_EQ(UnitsOfCostNote(G("本系统发送短信彩信共享剩余条数，每发一条彩信将扣除条短信")),
              std::nullopt);
    EXPECT_EQ(UnitsOfCostNote(""), std::nullopt);
}

TEST(Duplicates, LaterCopiesAreFlaggedAndTheVerificationCopiesKept) {
    const std::string v = "100";
    const struct {
        std::vector<std::string> entries;
        const std::string* keep;
        std::vector<bool> flags;
    } cases[] = {
        {{}, nullptr, {}},
        {{"1", "2", "3"}, nullptr, {false, false, false}},
        {{"1", "2", "1", "1", "2"}, nullptr, {false, false, true, true, true}},
        {{"100", "1", "100", "1"}, &v, {false, false, false, true}},
        {{"100", "1", "100", "1"}, nullptr, {false, false, true, true}},
        {{"1", " 1", "1 "}, nullptr, {false, false, false}},  // exact text only
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FlagLaterDuplicates(c.entries, c.keep), c.flags);
        EXPECT_EQ(CountLaterDuplicates(c.entries, c.keep),
                  std::count(c.flags.begin(), c.flags.end(), true));
    }
}

}  // namespace
