// Campaigns against the demo service: a request whose answer never came is decided from the
// send records both ways (and by --skip-unknown / --resend-unknown when the records cannot
// tell), and a refused request stops the campaign until resume goes on after the cause is
// mended; every number is charged exactly once throughout.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "campaign/CampaignLock.h"
#include "platform/Gbk.h"
#include "tests/campaign/CampaignFixture.h"

using namespace smsc;
using namespace smsc::test;
using campaign::RequestState;
using Sends = ServiceRelay::Sends;

namespace {

int at(RequestState state) {
    return static_cast<int>(state);
}

std::vector<std::string> numberArgs(long long first, int count) {
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i)
        args.insert(args.end(), {"--number", std::to_string(first + i)});
    return args;
}

std::vector<std::string> with(std::vector<std::string> args, std::vector<std::string> more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(CampaignTest, UnknownRequestsAreDecidedFromTheSendRecords) {
    const long long start = quota();
    // Two campaigns of the same size and text: only their numbers tell them apart.
    const std::vector<std::string> text{"--text", "周六全场八折"};

    // The request reached the service but its answer was lost: not sent again.
    relay->setSends(Sends::LoseAnswer);
    CliRun run = campaign("start", "lost", with(numberArgs(13900000001, 2), text));
    EXPECT_EQ(run.code, 2) << run.err;
    EXPECT_EQ(states("lost")[at(RequestState::Unknown)], 1);
    EXPECT_EQ(quota(), start - 2);
    relay->setSends(Sends::Pass);
    run = campaign("resume", "lost");
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(has(run.out, "发送记录显示已发送")) << run.out;
    EXPECT_EQ(quota(), start - 2);
    ASSERT_EQ(submissions().size(), 1u);
    EXPECT_EQ(journal("lost")->requests()[0].record, std::to_string(submissions()[0].id));

    // The request never reached it: sent now.
    relay->setSends(Sends::Refuse);
    run = campaign("start", "never", with(numberArgs(13900000011, 2), text));
    EXPECT_EQ(run.code, 2) << run.err;
    relay->setSends(Sends::Pass);
    run = campaign("resume", "never");
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(has(run.out, "发送记录显示未发送")) << run.out;
    EXPECT_EQ(quota(), start - 4);
    EXPECT_EQ(submissions().size(), 2u);

    // The records cannot be read: resume stops until the user decides.
    for (const char* name : {"skip", "resend"}) {
        relay->setSends(Sends::Refuse);
        EXPECT_EQ(campaign("start", name, with(numberArgs(13900000021, 2), text)).code, 2);
    }
    relay->setSends(Sends::Pass);
    relay->setRecordsFail(true);
    run = campaign("resume", "skip");
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(has(run.err, "无法读取发送记录") && has(run.err, "--skip-unknown")) << run.err;
    EXPECT_EQ(states("skip")[at(RequestState::Unknown)], 1);
    EXPECT_EQ(campaign("resume", "skip", {"--skip-unknown"}).code, 0);
    EXPECT_EQ(states("skip")[at(RequestState::Skipped)], 1);
    EXPECT_EQ(quota(), start - 4);
    EXPECT_EQ(campaign("resume", "resend", {"--resend-unknown"}).code, 0);
    EXPECT_EQ(states("resend")[at(RequestState::Accepted)], 1);
    EXPECT_EQ(quota(), start - 6);

    run = campaign("start", "lost", with(numberArgs(13900000001, 2), text));
    EXPECT_EQ(run.code, 2);
    EXPECT_TRUE(has(run.err, "已经存在")) << run.err;
}

TEST_F(CampaignTest, ARefusedRequestStopsTheCampaignAndResumeGoesOn) {
    ASSERT_EQ(admin({"set-quota", "demo", "5"}), 0);
    const std::string file = writeFile("numbers.txt", NumberLines(8));
    const std::string again = writeFile("again.txt", NumberLines(3));
    CliRun run = campaign(
        "start", "quota",
        {"--numbers-file", file, "--numbers-file", again, "--text", "会员日", "--batch", "4"});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(has(run.err, "发送失败\n您的短信余额不足")) << run.err;
    EXPECT_TRUE(has(run.err, "campaign resume quota")) << run.err;
    EXPECT_TRUE(has(run.out, "8个号码，分2批")) << run.out;  // repeats across files read once

    run = campaign("status", "quota");
    EXPECT_EQ(run.code, 0);
    for (const char* line : {"numbers\t8\n", "accepted\t1\t4\n", "refused\t1\t4\n", "units\t4\n",
                             "remaining\t1\n", "answer\t4\t1\n", "answer\t7\t1\n", "running\tno\n"})
        EXPECT_TRUE(has(run.out, line)) << line << run.out;

    // Two runs of one campaign never overlap.
    {
        campaign::CampaignLock::Result result;
        auto held = campaign::CampaignLock::Acquire(campaign::JournalPath(dataDir.path(), "quota"),
                                                    &result);
        ASSERT_TRUE(held);
        run = campaign("resume", "quota");
        EXPECT_EQ(run.code, 1);
        EXPECT_TRUE(has(run.err, "正在另一个进程中发送")) << run.err;
    }

    ASSERT_EQ(admin({"set-quota", "demo", "100"}), 0);
    run = campaign("resume", "quota");
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(has(run.out, "已全部完成：8个号码，共扣除8条")) << run.out;
    EXPECT_EQ(quota(), 96);
    std::set<std::string> numbers;
    for (const auto& s : submissions()) {
        const auto sent = m_service->store()->submissionNumbers("demo", s.id);
        ASSERT_TRUE(sent);
        numbers.insert(sent->begin(), sent->end());
    }
    EXPECT_EQ(submissions().size(), 2u);
    EXPECT_EQ(numbers.size(), 8u);

    // An MMS campaign is charged the cost note's units per number; numbers on the opt-out
    // list are left out of the whole campaign.
    dataDir.writeFile("OptOut.txt", "13700000001\t2024-01-05\t" + G("回复") + "\r\n");
    const std::string card = writeFile("card.emm", std::string(1000, 'E'));
    run = campaign(
        "start", "card",
        with(numberArgs(13700000000, 4), {"--file", card, "--title", "贺卡", "--batch", "2"}));
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(has(run.out, "3个号码，分2批") && has(run.out, "退订1个号码不发送")) << run.out;
    EXPECT_EQ(quota(), 96 - 15);
    run = cli({"campaign", "list", "--data-dir", dataDir.path()});
    EXPECT_EQ(run.out, "card\tmms\t3\t2/2\tdone\nquota\tsms\t8\t2/2\tdone\n");
}

}  // namespace
