// Max_Per_Number_Per_Day over entries that hold several numbers ("a|b", "a*b"): each number
// is checked and counted on its own, and the verification copy (the user's own phone) is
// never left out.
#include <gtest/gtest.h>

#include <ctime>

#include "compliance/DailyCap.h"
#include "compliance/SendHistory.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;

TEST(DailyCap, EachNumberOfAnEntryCountsAndTheVerificationCopyAlwaysGoes) {
    test::TempDataDir data(false);
    data.writeFile("Company_Info.ini", "[Compliance]\r\nMax_Per_Number_Per_Day=1\r\n");
    const long long now = std::time(nullptr);
    const int today = LocalDay(now);
    std::string error;
    {
        auto history = SendHistory::Open(SendHistoryPath(data.path()), &error);
        ASSERT_TRUE(history) << error;
        ASSERT_TRUE(history->add(today, {"13900000001", "13900000002"}, &error)) << error;
    }
    struct Case {
        std::vector<std::string> entries;
        const char* copy;
        std::vector<std::string> kept;
        long long leftOut;
    };
    const Case cases[] = {
        {{"13900000001|13900000003", "13900000002", "13900000004"},
         "",
         {"13900000003", "13900000004"},
         2},
        {{"13900000003|13900000004"}, "", {"13900000003|13900000004"}, 0},
        {{"13900000001|13900000002"}, "", {}, 2},
        {{"13900000002", "13900000005"}, "13900000002", {"13900000002", "13900000005"}, 0},
        {{"13900000001*13900000002|13900000006"}, "13900000002", {"13900000002|13900000006"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entries.front() + " copy " + c.copy);
        const DailyCapSend send = CapSend(data.path(), c.entries, now, c.copy);
        EXPECT_TRUE(send.error.empty()) << send.error;
        EXPECT_EQ(send.entries, c.kept);
        EXPECT_EQ(send.leftOut, c.leftOut);
    }
    // An accepted send counts each number of the entry, not the entry.
    const DailyCapSend send = CapSend(data.path(), {"13900000003|13900000004"}, now);
    ASSERT_TRUE(RecordDailyCapSend(send, now, &error)) << error;
    auto history = SendHistory::Open(SendHistoryPath(data.path()), &error);
    ASSERT_TRUE(history) << error;
    EXPECT_EQ(history->counts(today, {"13900000003", "13900000004", "13900000003|13900000004"}),
              (std::vector<long long>{1, 1, 0}));
    EXPECT_EQ(CapSend(data.path(), {"13900000003|13900000007"}, now).entries,
              std::vector<std::string>{"13900000007"});
}
