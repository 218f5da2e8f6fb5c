// Variable SMS sent as a campaign through the demo service: rows with the same text share
// one request, an opted-out row gets nothing, and a run killed while a request is out
// resumes without charging any number twice.
#include <gtest/gtest.h>

#include <signal.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Gbk.h"
#include "tests/addressbook/BookFixtures.h"
#include "tests/campaign/CampaignFixture.h"
#include "tests/support/ChildProcess.h"

using namespace smsc;
using namespace smsc::test;
using campaign::RequestState;

namespace {

std::string number(int i) {
    return std::to_string(13600000000LL + i);
}

// 姓名, 手机号码 (in the forms people write them), 积分: 50 names, so 50 distinct texts.
std::string tableCsv(int rows) {
    static const char* const kNames[] = {"王", "李", "张", "刘", "陈",
                                         "杨", "黄", "赵", "吴", "周"};
    static const char* const kGiven[] = {"伟", "芳", "娜", "敏", "静"};
    std::string csv = "姓名,手机号码,积分\r\n";
    for (int i = 0; i < rows; ++i) {
        std::string phone = number(i);
        if (i % 3 == 1)
            phone = "+86 " + phone.substr(0, 3) + "-" + phone.substr(3, 4) + "-" + phone.substr(7);
        csv += std::string(kNames[i % 10]) + kGiven[(i / 10) % 5] + "," + phone + "," +
               std::to_string((i % 2) * 100) + "\r\n";
    }
    return csv;
}

TEST_F(CampaignTest, SameTextsShareOneRequestAndOptedOutRowsGetNothing) {
    std::string csv = tableCsv(1000);
    csv += "重复,13600000002,0\r\n无效,12345,0\r\n";  // rows 1002 and 1003: skipped
    const std::string table = writeFile("客户.csv", csv);
    dataDir.writeFile("OptOut.txt", number(7) + "\t2024-01-05\t" + G("回复") + "\r\n");
    const std::string tmpl = "尊敬的{姓名}，您本月积分{积分}分";
    const long long before = quota();

    CliRun run = campaign("start", "v", {"--template", tmpl, "--table", table, "--dry-run"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("共1002行，发送999行，不发送3行；不同内容50条，请求50次，预计扣除999条"),
              std::string::npos)
        << run.out;
    EXPECT_TRUE(submissions().empty());

    run = campaign("start", "v", {"--template", tmpl, "--table", table});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(quota(), before - 999);
    const auto records = submissions();
    ASSERT_EQ(records.size(), 50u);
    std::map<std::string, std::set<std::string>> sent;  // text → numbers
    for (const auto& record : records) {
        const auto numbers = m_service->store()->submissionNumbers("demo", record.id);
        ASSERT_TRUE(numbers);
        EXPECT_TRUE(
            sent.emplace(record.content, std::set(numbers->begin(), numbers->end())).second);
    }
    // Row i went with its own text, once; row 7 not at all.
    for (int i = 0; i < 1000; ++i) {
        static const char* const kNames[] = {"王", "李", "张", "刘", "陈",
                                             "杨", "黄", "赵", "吴", "周"};
        static const char* const kGiven[] = {"伟", "芳", "娜", "敏", "静"};
        const std::string text = G("尊敬的" + std::string(kNames[i % 10]) + kGiven[(i / 10) % 5] +
                                   "，您本月积分" + std::to_string((i % 2) * 100) + "分");
        SCOPED_TRACE(i);
        ASSERT_TRUE(sent.count(text));
        EXPECT_EQ(sent[text].count(number(i)), i == 7 ? 0u : 1u);
    }
    run = campaign("status", "v");
    for (const char* line : {"accepted\t50\t999\n", "units\t999\n", "template\t尊敬的{姓名}"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
    run = cli({"campaign", "list", "--data-dir", dataDir.path()}, env);
    EXPECT_NE(run.out.find("v\tsms\t999\t50/50\tdone"), std::string::npos) << run.out;
}

TEST_F(CampaignTest, VariableRunKilledWhileARequestIsOutResumesWithoutSendingTwice) {
    const std::string table = writeFile("t.csv", tableCsv(100));  // 50 texts of two rows
    const long long before = quota();
    relay->holdSend(3);
    ChildProcess child(BinProgram("smsclient-cli"),
                       {"campaign", "start", "k", "--data-dir", dataDir.path(), "--user", "demo",
                        "--password", "demo", "--base-url", relay->baseUrl(), "--template",
                        "{姓名}您好，积分{积分}", "--table", table},
                       ChildOptions{{}, {}, true});
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(relay->waitUntilHeld(std::chrono::seconds(120))) << child.err();
    child.stop(SIGKILL);
    relay->release();
    {
        auto killed = journal("k");
        ASSERT_TRUE(killed);
        EXPECT_EQ(killed->requests()[1].state, RequestState::Accepted);
        EXPECT_EQ(killed->requests()[2].state, RequestState::Sending);
    }
    const CliRun run = campaign("resume", "k");
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(quota(), before - 100);
    std::set<std::string> texts;
    std::multiset<std::string> numbers;
    for (const auto& record : submissions()) {
        texts.insert(record.content);
        const auto sent = m_service->store()->submissionNumbers("demo", record.id);
        ASSERT_TRUE(sent);
        numbers.insert(sent->begin(), sent->end());
    }
    EXPECT_EQ(texts.size(), 50u);
    EXPECT_EQ(numbers.size(), 100u);
    EXPECT_EQ(std::set<std::string>(numbers.begin(), numbers.end()).size(), 100u);
}

TEST(VariableCampaignOptions, AnAddressBookGroupIsATableAndBadCommandLinesAreRefused) {
    TempFolder dir;
    dir.writeFile("LinkmanBook/Contacts.xml", SampleBook());
    const std::vector<std::string> start{"campaign", "start", "g", "--data-dir", dir.path()};
    auto with = [&](std::vector<std::string> more) {
        std::vector<std::string> args = start;
        args.insert(args.end(), more.begin(), more.end());
        return RunCliInProcess(args);
    };
    CliRun run = with({"--template", "{姓名}您好", "--group", "客户", "--dry-run"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("共2行，发送2行，不发送0行；不同内容2条"), std::string::npos) << run.out;
    const struct {
        std::vector<std::string> args;
        int code;
    } cases[] = {
        {{"--template", "{姓名}", "--group", "[客户]/[上海]", "--dry-run"}, 1},  // no such group
        {{"--template", "{称谓}", "--group", "客户", "--dry-run"}, 1},           // no such field
        {{"--template", "{姓名", "--group", "客户", "--dry-run"}, 1},            // unclosed
        {{"--template", "{姓名}", "--dry-run"}, 2},                              // no table
        {{"--template", "{姓名}", "--group", "客户", "--table", "t.csv", "--dry-run"}, 2},
        {{"--template", "{姓名}", "--group", "客户", "--text", "x", "--dry-run"}, 2},
        {{"--template", "{姓名}", "--group", "客户"}, 2},  // no --user
        {{"--user", "demo", "--number", "13900000001", "--text", "x", "--dry-run"}, 2},
    };
    for (const auto& c : cases) {
        run = with(c.args);
        EXPECT_EQ(run.code, c.code) << c.args[1] << run.err;
    }
    run =
        RunCliInProcess({"campaign", "resume", "g", "--data-dir", dir.path(), "--table", "t.csv"});
    EXPECT_EQ(run.code, 2);
}

}  // namespace
