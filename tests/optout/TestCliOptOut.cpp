// smsclient-cli optout and the opt-out step of send and send-mms, against the demo service in
// this process: the commands and their exit codes, the numbers that reach the service, and a
// reply that unsubscribes from receipt to the next send.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "optout/OptOutList.h"
#include "platform/AtomicFile.h"
#include "tests/support/ChildProcess.h"
#include "tests/tools/TestCliSupport.h"

using namespace smsc;
using namespace smsc::test;

namespace {

class CliOptOut : public CliTest {
protected:
    void SetUp() override {
        setenv("LC_ALL", "C", 1);  // the service and the client read dates alike
        CliTest::SetUp();
    }
    std::string dataDir() const { return m_data.path(); }
    std::string listPath() const { return OptOutPathIn(dataDir()); }
    CliRun optout(std::vector<std::string> args) {
        args.insert(args.begin(), "optout");
        args.insert(args.end(), {"--data-dir", dataDir()});
        return cli(args);
    }
    // send or send-mms as the demo account, with this test's data folder.
    CliRun sendTo(const std::string& command, std::vector<std::string> args) {
        args.insert(args.end(), {"--data-dir", dataDir()});
        if (command == "send")
            args.insert(args.end(), {"--text", "周末八折"});
        else
            args.insert(args.end(), {"--file", writeFile("card.emm", "EMM"), "--title", "新品"});
        return demoCli(command, args);
    }
    // The numbers of the latest submission, or "<none>".
    std::string lastNumbers() {
        const auto sent = submissions();
        if (sent.empty())
            return "<none>";
        std::string joined;
        for (const std::string& n : m_service->store()
                                        ->submissionNumbers("demo", sent.front().id)
                                        .value_or(std::vector<std::string>{}))
            joined += n + ",";
        return joined;
    }
    static std::string line(const char* number, const char* source) {
        return std::string(number) + "\t" + OptOutToday() + "\t" + source + "\n";
    }

    TempFolder m_data;
};

TEST_F(CliOptOut, CommandsAndExitCodes) {
    const std::string numbers = writeFile("numbers.txt", G("张三 13700000001，李四13700000002"));
    const std::string none = writeFile("none.txt", "no numbers here");
    const std::string exported = m_files.file("exported.txt");
    const std::string today = OptOutToday();
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string out;
        std::string err;  // the start of standard error
    } cases[] = {
        {{"list"}, 0, "", ""},
        {{"add", "13900000001", "13900000002"}, 0, "新增2个退订号码\n", ""},
        {{"add", "13900000001", " 10086 "}, 0, "新增1个退订号码，1个号码已在退订名单中\n", ""},
        {{"remove", "13900000002", "13800000000"},
         0,
         "移除1个退订号码，1个号码不在退订名单中\n",
         ""},
        {{"list"}, 0, line("13900000001", "手工") + line("10086", "手工"), ""},
        {{"import", numbers}, 0, "新增2个退订号码\n", ""},
        {{"import", none}, 1, "", "文件中没有找到手机号码"},
        {{"import", m_files.file("missing.txt")}, 2, "", "smsclient-cli: 文件无法读取"},
        {{"export", exported}, 0, "导出4个退订号码\n", ""},
        {{"add", "12a"}, 2, "", "smsclient-cli: 号码格式错误"},
        {{"add"}, 2, "", "smsclient-cli: optout add 需要至少一个号码"},
        {{"export"}, 2, "", "smsclient-cli: optout export 需要且只需要一个文件名"},
        {{"purge"}, 2, "", "smsclient-cli: 未知的 optout 动作：purge"},
        {{}, 2, "", "smsclient-cli: optout 需要一个动作"},
        {{"list", "--user", "demo"}, 2, "", "smsclient-cli: 选项 --user 不能用于 optout list"},
        {{"sync", "--from", today, "--to", today}, 2, "", "smsclient-cli: 缺少 --user"},
        {{"sync", "--user", "demo", "--from", "2024-02-30", "--to", today},
         2,
         "",
         "smsclient-cli: 日期格式错误"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "optout" : c.args.front());
        const CliRun run = optout(c.args);
        EXPECT_EQ(run.code, c.code) << run.err;
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err.rfind(c.err, 0), 0u) << run.err;
    }
    EXPECT_EQ(ReadWholeFile(exported).value_or(""),
              "13900000001\t" + today + "\t" + G("手工") + "\r\n10086\t" + today + "\t" +
                  G("手工") + "\r\n13700000001\t" + today + "\t" + G("导入") + "\r\n13700000002\t" +
                  today + "\t" + G("导入") + "\r\n");
    EXPECT_EQ(cli({"balance", "--user", "demo", "--include-optout"}).code, 2);

    // A list that cannot be read is reported and left alone.
    ::unlink(listPath().c_str());
    ASSERT_EQ(::mkdir(listPath().c_str(), 0755), 0);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"list"}, {"add", "13900000005"}, {"export", exported}}) {
        const CliRun run = optout(args);
        EXPECT_EQ(run.code, 2);
        EXPECT_EQ(run.err.rfind("smsclient-cli: 退订名单OptOut.txt无法读取", 0), 0u) << run.err;
    }
}

TEST_F(CliOptOut, SendsLeaveListedNumbersOutUnlessTheyAreIncluded) {
    ASSERT_EQ(optout({"add", "13900000001", "13800000000"}).code, 0);
    struct Case {
        std::string command;
        std::vector<std::string> args;
        int code;
        std::string numbers;  // of the latest submission
        std::string err;
    } cases[] = {
        {"send",
         {"--verify", "13800000000", "--number", "13900000001", "--number", "13900000003"},
         0,
         "13800000000,13900000003,",
         "已跳过1个退订号码\n"},
        {"send",
         {"--number", "13900000001"},
         1,
         "13800000000,13900000003,",
         "发送对象均在退订名单中，未发送\n"},
        {"send", {"--number", "13900000001", "--include-optout"}, 0, "13900000001,", ""},
        {"send-mms",
         {"--number", "13900000001", "--number", "13900000004"},
         0,
         "13900000004,",
         "已跳过1个退订号码\n"},
        {"send-mms",
         {"--number", "13800000000"},
         1,
         "13900000004,",
         "发送对象均在退订名单中，未发送\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command + " " + c.args.back());
        const CliRun run = sendTo(c.command, c.args);
        EXPECT_EQ(run.code, c.code) << run.err;
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(lastNumbers(), c.numbers);
    }

    // A list that cannot be read: no send, unless the list is explicitly not wanted.
    ::unlink(listPath().c_str());
    ASSERT_EQ(::mkdir(listPath().c_str(), 0755), 0);
    for (const char* command : {"send", "send-mms"}) {
        const CliRun refused = sendTo(command, {"--number", "13900000007"});
        EXPECT_EQ(refused.code, 1);
        EXPECT_NE(refused.err.find("无法读取"), std::string::npos);
        EXPECT_EQ(refused.err.substr(refused.err.rfind('\n', refused.err.size() - 2) + 1),
                  "退订名单无法读取，请检查OptOut.txt\n");
        EXPECT_EQ(lastNumbers(), "13900000004,");
    }
    EXPECT_EQ(sendTo("send", {"--number", "13900000007", "--include-optout"}).code, 0);
    EXPECT_EQ(lastNumbers(), "13900000007,");
}

TEST_F(CliOptOut, AnUnsubscribingReplyIsNotSentToAgain) {
    ASSERT_EQ(admin({"add-received", "demo", "13900000001", "TD"}), 0);
    ASSERT_EQ(admin({"add-received", "demo", "13900000002", "收到，谢谢"}), 0);
    ASSERT_EQ(admin({"add-received", "demo", "13900000003", "r"}), 0);  // "拒收请回复R"
    const std::string today = OptOutToday();
    const auto sync = [&] {
        return cli({"optout", "sync", "--user", "demo", "--password", "demo", "--base-url",
                    m_service->baseUrl(), "--from", today, "--to", today, "--data-dir", dataDir()});
    };
    CliRun run = sync();
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "新增2个退订号码\n");
    EXPECT_EQ(sync().out, "新增0个退订号码，2个号码已在退订名单中\n");
    const OptOutList listed = OptOutList::Load(listPath());
    EXPECT_EQ(listed.size(), 2u);
    EXPECT_TRUE(listed.contains("13900000001") && listed.contains("13900000003"));

    run = sendTo("send",
                 {"--number", "13900000001", "--number", "13900000002", "--number", "13900000003"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "已跳过2个退订号码\n");
    ASSERT_EQ(submissions().size(), 1u);
    EXPECT_EQ(submissions().front().numberCount, 1);
    EXPECT_EQ(lastNumbers(), "13900000002,");
}

TEST_F(CliOptOut, ConcurrentWritersLoseNoAddition) {
    // Two programs adding one number at a time, as a scheduled sync beside the list window.
    ASSERT_TRUE(WriteFileAtomically(listPath(), G("# 退订名单\r\n不是号码的一行\r\n")));
    const std::string script =
        "for i in $(seq $1 $(($1 + 79))); do \"$0\" optout add 1390000$i --data-dir \"$2\" "
        ">/dev/null || exit 1; done";
    std::vector<std::unique_ptr<ChildProcess>> writers;
    for (const char* first : {"1000", "2000"})
        writers.push_back(std::make_unique<ChildProcess>(
            "/bin/sh",
            std::vector<std::string>{"-c", script, BinProgram("smsclient-cli"), first, dataDir()}));
    for (auto& writer : writers)
        EXPECT_EQ(writer->wait(std::chrono::minutes(5)), 0);
    const OptOutList list = OptOutList::Load(listPath());
    EXPECT_EQ(list.size(), 160u);
    EXPECT_TRUE(list.contains("13900001079") && list.contains("13900002000"));
    const CliRun listed = optout({"list"});
    EXPECT_EQ(listed.err, "1行无法识别\n");
    EXPECT_EQ(
        ReadWholeFile(listPath()).value_or("").rfind(G("# 退订名单\r\n不是号码的一行\r\n"), 0), 0u);
}

}  // namespace
