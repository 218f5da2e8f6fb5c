// The reproductions of a batch charged twice or a campaign reporting what is not so: the
// service's clock 13 hours off, a request held on the line past the client's timeout, an
// answer that is no send answer, a damaged journal, two names of one journal, and a journal
// that cannot be written. Each ends with every number charged once and the truth told.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "campaign/CampaignLock.h"
#include "tests/campaign/CampaignFixture.h"
#include "tools/cli/CliCampaign.h"

using namespace smsc;
using namespace smsc::test;
using campaign::RequestState;
using Sends = ServiceRelay::Sends;

namespace {

int at(RequestState state) {
    return static_cast<int>(state);
}

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class CampaignDoubtTest : public CampaignTest {
protected:
    // A campaign of 100 numbers whose first answer is lost in the given way.
    CliRun startLost(const std::string& name, Sends mode, long long first) {
        relay->setSends(mode);
        const std::string file = writeFile(name + ".txt", NumberLines(100, first));
        CliRun run = campaign("start", name, {"--numbers-file", file, "--text", "周末特卖"});
        relay->setSends(Sends::Pass);
        return run;
    }
    // A campaign of two numbers paused by the quota, its one request refused.
    void startPaused(const std::string& name) {
        ASSERT_EQ(admin({"set-quota", "demo", "1"}), 0);
        const CliRun run =
            campaign("start", name,
                     {"--number", "13600009001", "--number", "13600009002", "--text", "会员日"});
        ASSERT_EQ(run.code, 1) << run.err;
        ASSERT_EQ(admin({"set-quota", "demo", "1000"}), 0);
    }
    std::string path(const std::string& name) {
        return campaign::JournalPath(dataDir.path(), name);
    }
};

TEST_F(CampaignDoubtTest, AServiceClockThirteenHoursOffStillFindsTheLostRequest) {
    const long long before = quota();
    long long first = 13600000000;
    for (const long long shift : {-13 * 3600LL, 13 * 3600LL}) {
        const std::string name = "skew" + std::to_string(shift);
        ASSERT_EQ(startLost(name, Sends::LoseAnswer, first).code, 2);
        relay->setRecordClock(shift);
        const CliRun run = campaign("resume", name);
        EXPECT_EQ(run.code, 0) << run.err;
        EXPECT_TRUE(has(run.out, "发送记录显示已发送")) << shift << run.out;
        first += 1000;
    }
    EXPECT_EQ(quota(), before - 200);
    EXPECT_EQ(submissions().size(), 2u);
}

TEST_F(CampaignDoubtTest, ARequestHeldOnTheLineIsNotSentAgainBeforeItCouldHaveLanded) {
    env.readTimeout = std::chrono::seconds(3);  // it settles 9 s after it left
    const long long before = quota();
    relay->holdSend(1, true);
    CliRun run = startLost("held", Sends::Pass, 13600001000);
    EXPECT_EQ(run.code, 2) << run.err;  // the client gave up on it
    ASSERT_TRUE(relay->waitUntilHeld(std::chrono::seconds(30)));

    // The records do not show it yet, which proves nothing.
    run = campaign("resume", "held", {"--no-wait"});
    EXPECT_EQ(run.code, cli::kExitTooRecent) << run.err;
    EXPECT_TRUE(has(run.err, "可能仍在途中") && has(run.err, "未重新发送")) << run.err;
    EXPECT_EQ(states("held")[at(RequestState::Unknown)], 1);
    EXPECT_TRUE(submissions().empty());

    relay->release();  // it lands
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (submissions().empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    run = campaign("resume", "held");
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(has(run.out, "发送记录显示已发送")) << run.out;
    EXPECT_EQ(quota(), before - 100);
    EXPECT_EQ(submissions().size(), 1u);
}

TEST_F(CampaignDoubtTest, AnAnswerThatIsNoSendAnswerIsAskedAboutNeverResent) {
    const long long before = quota();
    const struct {
        const char* name;
        Sends mode;
        bool storedRefused;  // as an earlier version kept it
    } cases[] = {
        {"balance", Sends::AnswerBalance, false},
        {"garbage", Sends::AnswerGarbage, false},
        {"older", Sends::AnswerBalance, true},
    };
    long long first = 13600002000;
    for (const auto& c : cases) {
        CliRun run = startLost(c.name, c.mode, first);
        first += 1000;
        EXPECT_EQ(run.code, 2) << c.name << run.err;
        EXPECT_TRUE(has(run.err, "服务器应答")) << run.err;
        EXPECT_EQ(states(c.name)[at(RequestState::Unknown)], 1) << c.name;
        if (c.storedRefused) {
            auto j = journal(c.name);
            campaign::CampaignRequest request = j->requests()[0];
            request.state = RequestState::Refused;
            std::string error;
            ASSERT_TRUE(j->save(request, &error)) << error;
        }
        run = campaign("resume", c.name);
        EXPECT_EQ(run.code, 0) << c.name << run.err;
        EXPECT_TRUE(has(run.out, "发送记录显示已发送")) << c.name << run.out;
    }
    EXPECT_EQ(quota(), before - 300);
    EXPECT_EQ(submissions().size(), 3u);
}

TEST_F(CampaignDoubtTest, AJournalWithItsRequestsGoneIsDamagedNeverDone) {
    startPaused("d");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path("d").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "DELETE FROM requests", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    CliRun run = campaign("resume", "d");
    EXPECT_EQ(run.code, 2);
    EXPECT_TRUE(has(run.err, "活动记录已损坏")) << run.err;
    EXPECT_FALSE(has(run.out, "已全部完成")) << run.out;
    EXPECT_EQ(campaign("status", "d").code, 2);
    EXPECT_EQ(cli({"campaign", "list", "--data-dir", dataDir.path()}).out, "d\t-\t-\t-\tdamaged\n");
    EXPECT_TRUE(submissions().empty());
}

TEST_F(CampaignDoubtTest, TwoNamesOfOneJournalShareItsLock) {
    startPaused("d");
    std::filesystem::create_symlink("d.sqlite", path("e"));
    std::filesystem::create_hard_link(path("d"), path("f"));
    campaign::CampaignLock::Result result;
    const auto running = campaign::CampaignLock::Acquire(path("d"), &result);
    ASSERT_TRUE(running);
    for (const char* name : {"e", "f"}) {
        const CliRun run = campaign("resume", name);
        EXPECT_EQ(run.code, 1) << name;
        EXPECT_TRUE(has(run.err, "正在另一个进程中发送")) << name << run.err;
        EXPECT_TRUE(has(campaign("status", name).out, "running\tyes\n")) << name;
    }
    EXPECT_TRUE(submissions().empty());
}

TEST_F(CampaignDoubtTest, AJournalThatCannotBeWrittenIsShownAndResumeSaysSo) {
    startPaused("r");
    // The folder refuses the journal's side files, as a read-only folder or disk does.
    for (const char* side : {"-wal", "-shm"}) {
        std::filesystem::remove(path("r") + side);
        ASSERT_TRUE(std::filesystem::create_directory(path("r") + side));
    }
    CliRun run = campaign("status", "r");
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(has(run.out, "refused\t1\t2\n")) << run.out;
    EXPECT_EQ(cli({"campaign", "list", "--data-dir", dataDir.path()}).out,
              "r\tsms\t2\t0/1\topen\n");
    run = campaign("resume", "r");
    EXPECT_EQ(run.code, 2);
    EXPECT_TRUE(has(run.err, "无法写入") && !has(run.err, "已损坏")) << run.err;
    EXPECT_TRUE(submissions().empty());
}

TEST_F(CampaignDoubtTest, AJournalWriteFailureReachesTheTerminalReadable) {
    relay->holdSend(1);
    CliRun run;
    std::thread sender([&] {
        run = campaign("start", "w", {"--number", "13600009101", "--text", "会员日"});
    });
    ASSERT_TRUE(relay->waitUntilHeld(std::chrono::seconds(60)));
    // Another writer holds the journal while the answer comes: its state cannot be stored.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path("w").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    relay->release();
    sender.join();
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(run.code, 2);
    EXPECT_TRUE(has(run.err, "smsclient-cli: 无法写入活动记录：")) << run.err;
}

}  // namespace
