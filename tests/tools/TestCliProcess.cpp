// The real programs: smsclient-cli run as a child process against smsclient-demo-service
// started with --port 0 (its port on the first line of its output).
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDataDir.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <string>
#include <vector>

using smsc::test::BinProgram;

namespace {

struct Result {
    int code;
    std::string out;
    std::string err;
};

// smsclient-cli to its end, without this process's SMSCLIENT_PASSWORD, plus the entries given.
Result RunCli(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
    smsc::test::ChildProcess cli(
        BinProgram("smsclient-cli"), args,
        {.env = env, .unsetEnv = {"SMSCLIENT_PASSWORD"}, .captureStderr = true});
    if (!cli.started())
        return {-2, "", "not started: " + cli.program()};
    cli.readAll();
    const int code = cli.wait(std::chrono::seconds(20));
    return {code, cli.out(), cli.err()};
}

}  // namespace

TEST(CliProcess, SendsThroughTheRealService) {
    smsc::test::TempFolder files;
    smsc::test::DemoServiceProcess service;
    ASSERT_TRUE(service.process().started()) << BinProgram("smsclient-demo-service");
    const int port = service.port();
    ASSERT_GT(port, 0) << service.process().out();
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    const std::vector<std::string> password{"SMSCLIENT_PASSWORD=demo"};

    Result balance = RunCli({"balance", "--user", "demo", "--base-url", base}, password);
    EXPECT_EQ(balance.code, 0) << balance.err;
    EXPECT_EQ(balance.out, "10000\n");

    std::string numbers, text;
    for (int i = 0; i < 1000; ++i)
        numbers += std::to_string(13900000000LL + i) + "\r\n";
    for (int i = 0; i < 15; ++i)
        text += "会议改到下午三点开始";
    files.writeFile("numbers.txt", numbers);
    files.writeFile("text.txt", text);
    Result send = RunCli({"send", "--user", "demo", "--base-url", base, "--numbers-file",
                          files.file("numbers.txt"), "--text-file", files.file("text.txt")},
                         password);
    EXPECT_EQ(send.code, 0) << send.err;
    EXPECT_EQ(send.out, "恭喜\n短信内容已成功发送到服务器\n剩余短信7000条\n");

    // The address from a data folder's Company_Info.ini (netcom line).
    files.writeFile("Company_Info.ini",
                    "[Create_Line]\r\nline_index=1\r\n[Service_Url]\r\n"
                    "Telecom_Url=\r\nNetcom_Url=" +
                        base + "/\r\n");
    balance = RunCli({"balance", "--user", "demo", "--data-dir", files.path()}, password);
    EXPECT_EQ(balance.code, 0) << balance.err;
    EXPECT_EQ(balance.out, "7000\n");

    Result wrong = RunCli({"balance", "--user", "demo", "--password", "nope", "--base-url", base});
    EXPECT_EQ(wrong.code, 1);
    EXPECT_EQ(wrong.err, "您输入的用户名或者密码错误，请重新输入\n");
    Result refused = RunCli(
        {"send", "--user", "demo", "--base-url", base, "--number", "1", "--text", ""}, password);
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(refused.err, "要发送的短信内容不能为空\n");
    Result usage = RunCli({"send", "--nonsense"});
    EXPECT_EQ(usage.code, 2);
    EXPECT_EQ(usage.out, "");
    Result help = RunCli({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("SMSCLIENT_PASSWORD"), std::string::npos);

    EXPECT_EQ(service.process().stop(SIGTERM), 0);
    Result gone = RunCli({"balance", "--user", "demo", "--base-url", base}, password);
    EXPECT_EQ(gone.code, 2);
    EXPECT_EQ(gone.err, "连接服务器超时，请检查网络！\n");
}

TEST(CliProcess, OutputThatCannotBeWrittenExitsTwo) {
    for (const char* option : {"--help", "--version"}) {
        smsc::test::ChildProcess shell(
            "/bin/sh",
            {"-c", std::string("\"$0\" ") + option + " >/dev/full", BinProgram("smsclient-cli")},
            {.env = {}, .unsetEnv = {"SMSCLIENT_PASSWORD"}, .captureStderr = true});
        shell.readAll();
        EXPECT_EQ(shell.wait(std::chrono::seconds(20)), 2) << option;
        EXPECT_NE(shell.err().find("smsclient-cli"), std::string::npos) << shell.err();
    }
}
