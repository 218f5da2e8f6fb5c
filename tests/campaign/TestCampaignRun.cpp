// Campaigns against the demo service: a request whose answer never came is decided from the
// send records both ways (and by --skip-unknown / --resend-unknown when the records cannot
// tell), a refused request stops the campaign until resume goes on after the cause is
// mended, and numbers that unsubscribe after the start get none of the later batches;
// every number is charged exactly once throughout.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
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
    env.readTimeout = std::chrono::seconds(2);  // a request settles 6 s after it left
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

    // The request never reached it: sent now, once it can no longer be on its way.
    relay->setSends(Sends::Refuse);
    run = campaign("start", "never", with(numberArgs(13900000011, 2), text));
    EXPECT_EQ(run.code, 2) << run.err;
    relay->setSends(Sends::Pass);
    run = campaign("resume", "never");
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(has(run.out, "发送记录显示未发送")) << run.out;
    EXPECT_TRUE(has(run.err, "可能仍在途中") && has(run.err, "还需等待1秒")) << run.err;
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

TEST_F(CampaignTest, NumbersListedAfterTheStartGetNoneOfTheLaterBatches) {
    // Four batches of two numbers, two pieces each; the quota stops it after batch 1.
    ASSERT_EQ(admin({"set-quota", "demo", "4"}), 0);
    std::string text;
    for (int i = 0; i < 10; ++i)
        text += "会员日全场八折欢迎光临";
    const auto n = [](int i) { return std::to_string(13800000000LL + i); };
    CliRun run = campaign("start", "later",
                          with(numberArgs(13800000001, 8), {"--text", text, "--batch", "2"}));
    ASSERT_EQ(run.code, 1) << run.err;
    ASSERT_EQ(journal("later")->pieceCount(), 2);
    ASSERT_EQ(submissions().size(), 2u);
    ASSERT_EQ(admin({"set-quota", "demo", "100"}), 0);

    // A list that cannot be read stops the run before anything more goes out.
    ASSERT_TRUE(std::filesystem::create_directory(dataDir.file("OptOut.txt")));
    run = campaign("resume", "later");
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(has(run.err, "退订名单无法读取，请检查OptOut.txt")) << run.err;
    EXPECT_EQ(submissions().size(), 2u);
    EXPECT_EQ(quota(), 100);

    // Replies after batch 1: one of it (already sent), one of batch 2, one of batch 3, and
    // all of batch 4.
    std::filesystem::remove(dataDir.file("OptOut.txt"));
    std::string list;
    for (int i : {1, 3, 6, 7, 8})
        list += n(i) + "\t2024-05-01\t" + G("回复") + "\r\n";
    dataDir.writeFile("OptOut.txt", list);
    run = campaign("resume", "later");
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(has(run.err, "已跳过4个退订号码")) << run.err;
    EXPECT_EQ(quota(), 100 - 2 - 2);

    // What the service received: every piece of a batch to the same numbers, none listed
    // after the start, and no request for batch 4.
    std::map<long long, std::vector<std::string>> sent;
    for (const auto& s : submissions()) {
        auto numbers = m_service->store()->submissionNumbers("demo", s.id);
        ASSERT_TRUE(numbers);
        std::sort(numbers->begin(), numbers->end());
        sent[s.id] = *numbers;
    }
    std::vector<std::vector<std::string>> byRequest;
    for (const auto& [id, numbers] : sent)
        byRequest.push_back(numbers);
    const std::vector<std::string> first{n(1), n(2)};
    EXPECT_EQ(byRequest, (std::vector<std::vector<std::string>>{
                             first, first, {n(4)}, {n(4)}, {n(5)}, {n(5)}}));

    auto j = journal("later");
    ASSERT_TRUE(j);
    std::string error;
    EXPECT_EQ(j->batchNumberString(1, &error), n(1) + "|" + n(2) + "|");  // stays as sent
    std::vector<std::pair<int, std::string>> skipped;
    for (const auto& r : j->requests())
        if (r.state == RequestState::Skipped)
            skipped.emplace_back(r.batch, r.answer);
    const std::pair<int, std::string> listed{4, G("全部在退订名单中")};
    EXPECT_EQ(skipped, (std::vector<std::pair<int, std::string>>{listed, listed}));
    run = campaign("status", "later");
    for (const char* line : {"optout\t4\n", "accepted\t6\t8\n", "skipped\t2\t0\n", "units\t8\n"})
        EXPECT_TRUE(has(run.out, line)) << line << run.out;
    EXPECT_FALSE(has(run.out, "answer\t全部在退订名单中")) << run.out;

    // A campaign started with --include-optout sends to the listed numbers in every batch.
    ASSERT_EQ(admin({"set-quota", "demo", "1"}), 0);
    run = campaign("start", "all",
                   {"--number", n(7), "--number", n(8), "--text", "周末特卖", "--batch", "1",
                    "--include-optout"});
    EXPECT_EQ(run.code, 1) << run.err;
    ASSERT_EQ(admin({"set-quota", "demo", "100"}), 0);
    run = campaign("resume", "all");
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(states("all")[at(RequestState::Accepted)], 2);
    EXPECT_EQ(quota(), 99);
}

}  // namespace
