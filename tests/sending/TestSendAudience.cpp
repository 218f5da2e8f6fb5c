// Who a send from the window goes to: the opt-out list first, the daily cap on what it kept,
// the number string with the verification star, the lines naming what was left out, and the
// history written only for an accepted send.

#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "compliance/SendHistory.h"
#include "optout/OptOutList.h"
#include "platform/Gbk.h"
#include "sending/SendAudience.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using smsc::test::TempFolder;

namespace {

struct Case {
    const char* name;
    const char* optOut;  // OptOut.txt; nullptr: no list
    bool capped;         // Max_Per_Number_Per_Day=1, 13900000000 already had its message today
    std::vector<std::string> entries;
    const char* verification;  // the verification number; nullptr: the option is off
    OptOutSendRefusal refusal;
    const char* numbers;
    const char* message;  // "发送成功" with the skipped lines (UTF-8)
    const char* answer;
    long long sentCount;  // today's count of 13900000002 after the answer
};

}  // namespace

TEST(SendAudienceTest, OptOutThenCapThenNumberStringAndHistory) {
    // clang-format off
    const Case cases[] = {
        {"nothing left out", nullptr, false, {"13900000000", "13900000002"}, nullptr,
         OptOutSendRefusal::None, "13900000000|13900000002|", "发送成功", "7|100", 0},
        // The opt-out list goes first, the cap takes what it kept; both lines, opt-out first.
        {"opted out and capped", "13900000001\r\n", true,
         {"13900000000", "13900000001", "13900000002"}, nullptr, OptOutSendRefusal::None,
         "13900000002|", "发送成功\r已跳过1个退订号码\r已跳过1个今天已达每日上限的号码",
         "7|100", 1},
        {"refused answer not recorded", nullptr, true, {"13900000002"}, nullptr,
         OptOutSendRefusal::None, "13900000002|", "发送成功", "4", 0},
        // The verification copy stays though listed, and keeps its star.
        {"verification copy", "13900000002\r\n13900000003\r\n", false,
         {"13900000002", "13900000003"}, "13900000002", OptOutSendRefusal::None,
         "13900000002*", "发送成功\r已跳过1个退订号码", "7|100", 0},
        // The verification copy goes even when its number is at the cap.
        {"verification copy at the cap", nullptr, true, {"13900000000", "13900000002"},
         "13900000000", OptOutSendRefusal::None, "13900000000*13900000002|", "发送成功",
         "7|100", 1},
        // A refusal stops before the history is opened: nothing is capped or recorded.
        {"every number listed", "13900000002\r\n", true, {"13900000002"}, nullptr,
         OptOutSendRefusal::AllListed, "", "发送成功\r已跳过1个退订号码", "7|100", 0},
    };
    // clang-format on
    const long long now = std::time(nullptr);
    const int today = LocalDay(now);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder data;
        if (c.optOut)
            data.writeFile(kOptOutFileName, c.optOut);
        std::string error;
        std::unique_ptr<SendHistory> history;
        if (c.capped) {
            data.writeFile("Company_Info.ini", "[Compliance]\r\nMax_Per_Number_Per_Day=1\r\n");
            history = SendHistory::Open(SendHistoryPath(data.path()), &error);
            ASSERT_TRUE(history) << error;
            ASSERT_TRUE(history->add(today, {"13900000000"}, &error)) << error;
        }
        const SendAudience audience =
            PlanSendAudience(data.path(), OptOutPathIn(data.path()), c.entries, c.verification,
                             c.verification ? c.verification : "", now);
        EXPECT_EQ(audience.optOut.refusal, c.refusal);
        EXPECT_EQ(audience.numbers, c.numbers);
        EXPECT_EQ(GbkToUtf8(WithSkippedLines(G("发送成功"), audience)), c.message);
        EXPECT_EQ(static_cast<bool>(audience.capped.history),
                  c.capped && c.refusal == OptOutSendRefusal::None);
        EXPECT_TRUE(RecordAcceptedSend(audience, c.answer, now, &error)) << error;
        if (history) {
            EXPECT_EQ(history->counts(today, {"13900000002"}), std::vector<long long>{c.sentCount});
        }
    }
}
