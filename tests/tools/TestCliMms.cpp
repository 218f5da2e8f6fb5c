// smsclient-cli send-mms against the demo service: the charge per number, the service's and
// the page's refusals, and the exit codes.
#include "tests/tools/TestCliSupport.h"

using namespace smsc;
using namespace smsc::test;

using CliMms = CliTest;

TEST_F(CliMms, HundredNumbersCostHundredTimesTheMmsPrice) {
    demo::ServiceOptions options;
    options.notice = "Version=6.8\r\nmmstosms=8\r\nx=y\r\nNotice=n\r\n";
    startService(options);
    const std::string numbers = writeFile("numbers.txt", NumberLines(100));
    const std::string bytes = std::string("EMM\0\r\n", 6) + std::string(2000, 'x');
    const std::string card = writeFile("贺卡.emm", bytes);
    CliRun run =
        demoCli("send-mms", {"--numbers-file", numbers, "--file", card, "--title", "新年快乐"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "恭喜\n彩信内容已成功发送到服务器\n剩余短信9200条\n");
    EXPECT_EQ(run.err, numbers + "：读取100行：添加100个，重复0个，无法识别0个\n");
    EXPECT_EQ(quota(), 10000 - 100 * 8);
    auto sent = submissions();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].kind, demo::SubmissionKind::Mms);
    EXPECT_EQ(sent[0].numberCount, 100);
    EXPECT_EQ(sent[0].content, G("新年快乐"));
    EXPECT_EQ(m_service->store()->mmsFileData(sent[0].mmsFile), bytes);

    // The verification copies go in per add action as for send: 100 numbers, 2 copies.
    run = demoCli("send-mms", {"--numbers-file", numbers, "--verify", "13800000000", "--interval",
                               "50", "--file", card, "--title", "t"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(quota(), 10000 - 100 * 8 - 102 * 8);
}

TEST_F(CliMms, RefusalsAndExitCodes) {
    const std::string card = writeFile("card.emm", "EMM");
    const std::string big = writeFile("big.emm", std::string(51201, 'x'));
    const std::string quoted = writeFile("a\"b.emm", "EMM");
    auto check = [this](std::vector<std::string> args, int code, const std::string& err) {
        CliRun run = demoCli("send-mms", std::move(args));
        EXPECT_EQ(run.code, code) << err;
        EXPECT_EQ(run.err, err);
        EXPECT_EQ(run.out, "");
    };
    const std::string title31(31, 't');
    check({"--number", "1", "--file", card, "--title", title31}, 1, "彩信标题内容不能超过30字\n");
    check({"--number", "1", "--file", card, "--title", ""}, 1, "彩信标题内容不能为空\n");
    check({"--number", "1", "--file", big, "--title", "t"}, 1, "彩信文件文件过大！\n");
    check({"--file", card, "--title", "t"}, 1, "发送条数为0请添加发送对象\n");
    check({"--number", "1", "--file", card + ".gone", "--title", "t"}, 1,
          "彩信文件路径地址不正确\n");
    check({"--number", "1", "--file", quoted, "--title", "t"}, 1, "彩信文件路径地址不正确\n");
    check({"--number", "1", "--file", "", "--title", "t"}, 1, "彩信内容路径为空，请选择彩信文件\n");
    check({"--verify", "x", "--number", "1", "--file", card, "--title", "t"}, 1,
          "请输入正确的验证号码！\n");
    EXPECT_TRUE(submissions().empty());

    ASSERT_EQ(admin({"set-mms", "closed"}), 0);
    check({"--number", "13900000000", "--file", card, "--title", "t"}, 1,
          "发送失败\n彩信发送服务器处于关闭状态，暂时不能发送\n");
    EXPECT_EQ(quota(), 10000);

    CliRun offline = cli({"send-mms", "--user", "demo", "--password", "demo", "--base-url",
                          "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/",
                          "--number", "1", "--file", card, "--title", "t"});
    EXPECT_EQ(offline.code, 2);
    EXPECT_EQ(offline.err, "发送失败\n连接服务器超时，请检查网络！\n");
}
