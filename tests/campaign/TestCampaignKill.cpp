// A campaign of 70000 numbers in three batches, its process killed (SIGKILL) while the
// second batch's request is out and the service has taken it, then resumed: every number is
// charged exactly once.
#include <gtest/gtest.h>

#include <signal.h>

#include <set>
#include <string>

#include "tests/campaign/CampaignFixture.h"
#include "tests/support/ChildProcess.h"

using namespace smsc;
using namespace smsc::test;
using campaign::RequestState;

namespace {

TEST_F(CampaignTest, KilledDuringTheSecondBatchAndResumedChargesEveryNumberOnce) {
    constexpr int kNumbers = 70000;
    const std::string file = writeFile("customers.txt", NumberLines(kNumbers, 13500000000LL));
    const long long before = quota();
    relay->holdSend(2);
    ChildProcess child(BinProgram("smsclient-cli"),
                       {"campaign", "start", "big", "--data-dir", dataDir.path(), "--user", "demo",
                        "--password", "demo", "--base-url", relay->baseUrl(), "--numbers-file",
                        file, "--text", "春季新品上市，欢迎选购"},
                       ChildOptions{{}, {}, true});
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(relay->waitUntilHeld(std::chrono::seconds(120))) << child.err();
    child.stop(SIGKILL);
    EXPECT_EQ(child.endSignal(), SIGKILL);
    relay->release();

    // The second batch was out: the journal says "sending", the service has it.
    {
        auto killed = journal("big");
        ASSERT_TRUE(killed);
        ASSERT_EQ(killed->requests().size(), 3u);
        EXPECT_EQ(killed->requests()[0].state, RequestState::Accepted);
        EXPECT_EQ(killed->requests()[1].state, RequestState::Sending);
        EXPECT_EQ(killed->requests()[2].state, RequestState::Pending);
    }
    EXPECT_EQ(submissions().size(), 2u);

    const CliRun run = campaign("resume", "big");
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("发送记录显示已发送"), std::string::npos) << run.out;
    EXPECT_EQ(quota(), before - kNumbers);
    const auto records = submissions();
    ASSERT_EQ(records.size(), 3u);
    std::set<std::string> numbers;
    size_t total = 0;
    for (const auto& record : records) {
        const auto sent = m_service->store()->submissionNumbers("demo", record.id);
        ASSERT_TRUE(sent);
        total += sent->size();
        numbers.insert(sent->begin(), sent->end());
    }
    EXPECT_EQ(total, static_cast<size_t>(kNumbers));
    EXPECT_EQ(numbers.size(), static_cast<size_t>(kNumbers));
    EXPECT_EQ(states("big")[static_cast<int>(RequestState::Accepted)], 3);
}

}  // namespace
