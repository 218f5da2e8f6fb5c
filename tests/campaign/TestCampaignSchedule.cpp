// Scheduled campaigns: nothing goes out before the time or outside the window, run-due sends
// what is due once however many run at once, and pause, resume and cancel do what they say.
// The clock is fixed through the command's environment.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <thread>

#include "campaign/CampaignLock.h"
#include "campaign/CampaignRun.h"
#include "campaign/CampaignSchedule.h"
#include "compliance/ComplianceSettings.h"
#include "compliance/SendHistory.h"
#include "tests/campaign/CampaignFixture.h"
#include "tools/cli/CliPassword.h"

using namespace smsc;
using namespace smsc::test;
using namespace smsc::campaign;

namespace {

long long T(const std::string& text) {
    const std::optional<long long> time = ParseLocalTime(text);
    EXPECT_TRUE(time) << text;
    return time.value_or(0);
}

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(CampaignScheduleTest, WhenDueWaitsForTimeWindowPauseAndCancel) {
    struct Case {
        const char* now;
        long long at;
        const char* window;  // "" none
        ScheduleState state;
        Waiting waiting;
        const char* next;  // "" none
    };
    const long long nine = T("2026-12-10 09:00");
    const Case cases[] = {
        {"2026-12-10 08:59", nine, "", ScheduleState::Active, Waiting::Time, "2026-12-10 09:00"},
        {"2026-12-10 09:00", nine, "", ScheduleState::Active, Waiting::Nothing, ""},
        {"2026-12-10 21:30", nine, "08:00-21:00", ScheduleState::Active, Waiting::Window,
         "2026-12-11 08:00"},
        {"2026-12-10 07:15", 0, "08:00-21:00", ScheduleState::Active, Waiting::Window,
         "2026-12-10 08:00"},
        {"2026-12-10 23:00", 0, "22:00-02:00", ScheduleState::Active, Waiting::Nothing, ""},
        {"2026-12-10 10:00", nine, "08:00-21:00", ScheduleState::Paused, Waiting::Paused, ""},
        {"2026-12-10 10:00", nine, "", ScheduleState::Cancelled, Waiting::Cancelled, ""},
    };
    for (const Case& c : cases) {
        CampaignSchedule s;
        s.scheduled = true;
        s.at = c.at;
        s.state = c.state;
        if (const auto hours = ParseHours(c.window)) {
            s.windowFrom = hours->first;
            s.windowTo = hours->second;
        }
        const Due due = WhenDue(s, T(c.now));
        EXPECT_EQ(due.waiting, c.waiting) << c.now << " " << c.window;
        if (*c.next) {
            EXPECT_EQ(LocalTimeText(due.next), c.next) << c.now;
        }
    }
    for (const char* bad : {"2026-02-30 09:00", "2026-12-10 24:00", "2026-12-10 9:00", "明天"})
        EXPECT_FALSE(ParseLocalTime(bad)) << bad;
}

class ScheduledCampaignTest : public CampaignTest {
protected:
    CliRun runDue() {
        return cli({"campaign", "run-due", "--data-dir", dataDir.path(), "--password", "demo",
                    "--base-url", relay->baseUrl()},
                   env);
    }
    std::string status(const std::string& name) { return campaign("status", name).out; }
    CliRun startFive(const std::string& name, std::vector<std::string> schedule) {
        std::vector<std::string> args{"--numbers-file", writeFile(name + ".txt", NumberLines(5)),
                                      "--text",         "年末盘点通知",
                                      "--batch",        "2"};
        args.insert(args.end(), schedule.begin(), schedule.end());
        return campaign("start", name, args);
    }
    int accepted(const std::string& name) {
        return states(name)[static_cast<size_t>(RequestState::Accepted)];
    }
};

TEST_F(ScheduledCampaignTest, AtAMinuteAheadSendsNothingBeforeAndEverythingAfterThroughRunDue) {
    const long long before = quota();
    env.now = T("2026-12-10 08:59");
    const CliRun start = startFive("早班", {"--at", "2026-12-10 09:00"});
    ASSERT_EQ(start.code, 0) << start.err;
    EXPECT_TRUE(has(start.out, "等待发送时间 2026-12-10 09:00")) << start.out;
    EXPECT_EQ(runDue().code, 0);
    EXPECT_EQ(accepted("早班"), 0);
    EXPECT_EQ(quota(), before);
    EXPECT_TRUE(has(status("早班"), "waiting\ttime")) << status("早班");
    EXPECT_TRUE(has(cli({"campaign", "list", "--data-dir", dataDir.path()}, env).out,
                    "早班\tsms\t5\t0/3\twaiting\t2026-12-10 09:00\t-"));

    env.now = T("2026-12-10 09:00");
    const CliRun due = runDue();
    ASSERT_EQ(due.code, 0) << due.err;
    EXPECT_EQ(accepted("早班"), 3);
    EXPECT_EQ(quota(), before - 5);
    EXPECT_EQ(runDue().code, 0);  // done: never again
    EXPECT_EQ(quota(), before - 5);
}

TEST_F(ScheduledCampaignTest, AClosedWindowWaitsAndSaysSoThenGoesOnAtItsOpening) {
    env.now = T("2026-12-10 21:30");
    const CliRun start = startFive("晚到", {"--window", "08:00-21:00"});
    ASSERT_EQ(start.code, 0) << start.err;
    EXPECT_TRUE(has(start.out, "不在发送时段 08:00-21:00 内，2026-12-11 08:00 继续")) << start.out;
    EXPECT_EQ(runDue().code, 0);
    EXPECT_EQ(accepted("晚到"), 0);
    EXPECT_TRUE(has(status("晚到"), "waiting\twindow")) << status("晚到");
    env.now = T("2026-12-11 08:00");
    EXPECT_EQ(runDue().code, 0);
    EXPECT_EQ(accepted("晚到"), 3);
}

TEST_F(ScheduledCampaignTest, AMarketingTextGivenATimeKeepsToTheMarketingHours) {
    ComplianceSettings settings;
    settings.autoUnsubscribe = true;
    ASSERT_TRUE(SaveComplianceSettings(dataDir.file("Company_Info.ini"), settings));
    env.now = T("2026-12-10 06:00");
    const CliRun start = startFive("促销", {"--at", "2026-12-10 06:30", "--kind", "marketing"});
    ASSERT_EQ(start.code, 0) << start.err;
    EXPECT_TRUE(has(status("促销"), "window\t08:00-21:00")) << status("促销");
    env.now = T("2026-12-10 06:31");
    EXPECT_EQ(runDue().code, 0);
    EXPECT_EQ(accepted("促销"), 0);
}

TEST_F(ScheduledCampaignTest, PauseResumeAndCancelAsUsersExpect) {
    env.now = T("2026-12-10 08:00");
    ASSERT_EQ(startFive("暂停", {"--at", "2026-12-10 09:00"}).code, 0);
    ASSERT_EQ(startFive("取消", {"--at", "2026-12-10 09:00"}).code, 0);
    ASSERT_EQ(campaign("pause", "暂停").code, 0);
    ASSERT_EQ(campaign("cancel", "取消").code, 0);
    env.now = T("2026-12-10 09:30");
    EXPECT_EQ(runDue().code, 0);
    EXPECT_EQ(accepted("暂停"), 0);
    EXPECT_EQ(accepted("取消"), 0);
    EXPECT_TRUE(has(status("暂停"), "state\tpaused"));

    const CliRun resumed = campaign("resume", "暂停");
    EXPECT_EQ(resumed.code, 0) << resumed.err;
    EXPECT_EQ(accepted("暂停"), 3);
    const CliRun refused = campaign("resume", "取消");
    EXPECT_EQ(refused.code, 1);
    EXPECT_TRUE(has(refused.err, "已取消")) << refused.err;
    EXPECT_EQ(runDue().code, 0);
    EXPECT_EQ(accepted("取消"), 0);
}

// A pause written through another handle of the journal (another process) while the run is
// sending stops it before its next request; the window closing goes the same way. Old
// journals open unscheduled, and the schedule survives a reopen.
TEST(CampaignScheduleJournalTest, APauseWrittenMeanwhileStopsTheRunBeforeTheNextRequest) {
    TempFolder folder;
    const std::string path = folder.file("c.sqlite");
    CampaignSettings settings;
    settings.batchSize = 1;
    std::string error;
    auto journal = CampaignJournal::Create(
        path, settings, {"13900000001", "13900000002", "13900000003"}, {"a"}, &error);
    ASSERT_TRUE(journal) << error;
    EXPECT_FALSE(journal->schedule().scheduled);
    EXPECT_EQ(journal->schedule().state, ScheduleState::Active);

    CampaignService service;
    int sent = 0;
    service.now = [] { return 0LL; };
    service.send = [&](const CampaignRequest&, const std::string&) {
        if (++sent == 1) {  // another process pauses it while the first request is out
            std::string e;
            auto other = CampaignJournal::Open(path, &e);
            CampaignSchedule paused = other->schedule();
            paused.state = ScheduleState::Paused;
            EXPECT_TRUE(other->setSchedule(paused, &e)) << e;
        }
        return SendOutcome{true, "7|100", ""};
    };
    service.hold = [&]() -> std::optional<std::string> {
        std::string e;
        EXPECT_TRUE(journal->reloadSchedule(&e)) << e;
        if (WhenDue(journal->schedule(), 0).waiting == Waiting::Nothing)
            return std::nullopt;
        return std::string("held");
    };
    const RunReport report = RunCampaign(*journal, service, UnknownPolicy::Stop);
    EXPECT_EQ(report.end, RunEnd::Held);
    EXPECT_EQ(sent, 1);
    journal.reset();
    auto reopened = CampaignJournal::Open(path, &error);
    ASSERT_TRUE(reopened) << error;
    EXPECT_EQ(reopened->schedule().state, ScheduleState::Paused);
    EXPECT_EQ(reopened->requests()[1].state, RequestState::Pending);
}

TEST_F(ScheduledCampaignTest, RunDueSkipsACampaignAnotherRunHoldsAndTwoAtOnceSendOnce) {
    const long long before = quota();
    env.now = T("2026-12-10 08:00");
    ASSERT_EQ(startFive("并发", {"--at", "2026-12-10 09:00"}).code, 0);
    env.now = T("2026-12-10 09:00");
    {
        CampaignLock::Result result;
        const auto held = CampaignLock::Acquire(JournalPath(dataDir.path(), "并发"), &result);
        ASSERT_TRUE(held);
        EXPECT_EQ(runDue().code, 0);  // skipped, not waited for
        EXPECT_EQ(quota(), before);
    }
    CliRun first, second;
    std::thread other([&] { second = runDue(); });
    first = runDue();
    other.join();
    EXPECT_EQ(first.code, 0) << first.err;
    EXPECT_EQ(second.code, 0) << second.err;
    EXPECT_EQ(accepted("并发"), 3);
    EXPECT_EQ(quota(), before - 5);
}

TEST_F(ScheduledCampaignTest, ScheduleOptionsAreCheckedBeforeAnythingIsWritten) {
    const std::vector<std::vector<std::string>> bad = {
        {"start", "x", "--number", "13900000001", "--text", "t", "--at", "2026-02-30 09:00"},
        {"start", "x", "--number", "13900000001", "--text", "t", "--window", "9-17"},
        {"resume", "x", "--window", "08:00-21:00"},
        {"pause", "x", "--at", "2026-12-10 09:00"},
        {"run-due", "x"},
        {"run-due", "--number", "13900000001"},
    };
    for (const auto& args : bad) {
        std::vector<std::string> all{"campaign", "--data-dir", dataDir.path(), "--user", "demo"};
        all.insert(all.end(), args.begin(), args.end());
        EXPECT_EQ(cli(all, env).code, 2) << args[0] << " " << args.back();
    }
    EXPECT_TRUE(CampaignNames(dataDir.path()).empty());
}

// run-due started by the timer has no --password: the 0600 file the settings name, else the
// client's remembered login of this very user.
TEST_F(ScheduledCampaignTest, TheTimersPasswordComesFromAPrivateFileOrTheRememberedLogin) {
    const std::string file = writeFile("pass.txt", "demo\r\n");
    const std::string store =
        writeFile("login.ini", "[User]\nUser_Name=demo\nUser_Pass=fromstore\nUser_Boo=yes\n");
    ASSERT_EQ(::chmod(store.c_str(), 0600), 0);
    struct Case {
        const char* ini;
        mode_t mode;
        const char* user;
        const char* password;  // "" none
        bool problem;
    };
    const Case cases[] = {
        {"", 0600, "demo", "fromstore", false},
        {"", 0600, "other", "", false},
        {"[Campaign]\r\nPassword_File=@\r\n", 0600, "demo", "demo", false},
        {"[Campaign]\r\nPassword_File=@\r\n", 0640, "demo", "", true},
        {"[Campaign]\r\nPassword_File=/nonexistent/pass\r\n", 0600, "demo", "", true},
    };
    for (const Case& c : cases) {
        std::string ini = c.ini;
        if (const size_t at = ini.find('@'); at != std::string::npos)
            ini.replace(at, 1, file);
        dataDir.writeFile("Company_Info.ini", ini);
        ASSERT_EQ(::chmod(file.c_str(), c.mode), 0);
        const cli::StoredPassword found = cli::FindStoredPassword(c.user, dataDir.path(), store);
        EXPECT_EQ(found.password.value_or(""), c.password) << c.ini << c.mode;
        EXPECT_EQ(!found.problem.empty(), c.problem) << c.ini << c.mode;
    }
    ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
    dataDir.writeFile("Company_Info.ini", "[Campaign]\r\nPassword_File=" + file + "\r\n");
    env.now = T("2026-12-10 08:00");
    ASSERT_EQ(startFive("无密码", {"--at", "2026-12-10 09:00"}).code, 0);
    env.now = T("2026-12-10 09:00");
    const CliRun due = cli(
        {"campaign", "run-due", "--data-dir", dataDir.path(), "--base-url", relay->baseUrl()}, env);
    EXPECT_EQ(due.code, 0) << due.err;
    EXPECT_EQ(accepted("无密码"), 3);
}

// Max_Per_Number_Per_Day: a number that got that many messages today is left out of a send
// and of every later batch of a campaign, and the left-out ones are counted.
TEST_F(ScheduledCampaignTest, TheDailyCapLeavesOutNumbersThatHadTheirShareAndCountsThem) {
    ComplianceSettings settings;
    settings.maxPerNumberPerDay = 1;
    ASSERT_TRUE(SaveComplianceSettings(dataDir.file("Company_Info.ini"), settings));
    EXPECT_EQ(LoadComplianceSettings(dataDir.file("Company_Info.ini")).maxPerNumberPerDay, 1);
    const long long before = quota();
    const std::vector<std::string> send{"send",        "--data-dir",  dataDir.path(),
                                        "--number",    "13900000001", "--number",
                                        "13900000002", "--text",      "到货通知"};
    const CliRun first = demoCli(send[0], {send.begin() + 1, send.end()});
    ASSERT_EQ(first.code, 0) << first.err;
    EXPECT_EQ(quota(), before - 2);
    std::vector<std::string> dry(send.begin() + 1, send.end());
    dry.push_back("--dry-run");
    EXPECT_TRUE(has(demoCli("send", dry).out, "capped\t2\n"));
    const CliRun second = demoCli(send[0], {send.begin() + 1, send.end()});
    EXPECT_EQ(second.code, 1);  // nobody left
    EXPECT_EQ(quota(), before - 2);

    // A campaign of 5 numbers, 2 of them capped: 3 go out, 2 counted apart.
    const CliRun campaignRun = startFive("上限", {});
    ASSERT_EQ(campaignRun.code, 0) << campaignRun.err;
    EXPECT_TRUE(has(campaignRun.err, "已跳过2个今天已达每日上限")) << campaignRun.err;
    EXPECT_EQ(quota(), before - 5);

    std::string error;
    auto history = SendHistory::Open(SendHistoryPath(dataDir.path()), &error);
    ASSERT_TRUE(history) << error;
    const auto counts =
        history->counts(LocalDay(std::time(nullptr)), {"13900000001", "13900000003", "139"});
    ASSERT_TRUE(counts);
    EXPECT_EQ(*counts, (std::vector<long long>{1, 1, 0}));
}

}  // namespace
