// smsclient-cli send against the demo service: pieces and charges, the recipient cap, the
// send checks (nothing goes out when one fails), the verification marking and the answers.
#include "tests/tools/TestCliSupport.h"

#include <algorithm>

using namespace smsc;
using namespace smsc::test;

namespace {

// n Chinese characters (UTF-8).
std::string ChineseText(int n) {
    static const char* const kChars[] = {"会", "议", "改", "到", "下",
                                         "午", "三", "点", "开", "始"};
    std::string s;
    for (int i = 0; i < n; ++i)
        s += kChars[i % 10];
    return s;
}

}  // namespace

using CliSend = CliTest;

TEST_F(CliSend, LongChineseMessageGoesInThreePiecesToEveryNumber) {
    const std::string text = ChineseText(150);
    const std::string file = writeFile("numbers.txt", NumberLines(1000));
    CliRun run = demoCli("send", {"--numbers-file", file, "--text", text});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "恭喜\n短信内容已成功发送到服务器\n剩余短信7000条\n");
    // What the file gave, on standard error.
    EXPECT_EQ(run.err, file + "：读取1000行：添加1000个，重复0个，无法识别0个\n");
    EXPECT_EQ(quota(), 7000);

    auto sent = submissions();
    ASSERT_EQ(sent.size(), 3u);
    std::reverse(sent.begin(), sent.end());  // oldest first
    const std::string gbk = G(text);         // two bytes per character
    EXPECT_EQ(sent[0].content, G("（1/3）") + gbk.substr(0, 130));
    EXPECT_EQ(sent[1].content, G("（2/3）") + gbk.substr(130, 130));
    EXPECT_EQ(sent[2].content, G("（3/3）") + gbk.substr(260));
    for (const auto& s : sent)
        EXPECT_EQ(s.numberCount, 1000);
}

TEST_F(CliSend, ThirtyThousandNumbersFromAFile) {
    ASSERT_EQ(admin({"set-quota", "demo", "100000"}), 0);
    const std::string file = writeFile("numbers.txt", NumberLines(30000));
    CliRun run = demoCli("send", {"--numbers-file", file, "--text", "通知"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "恭喜\n短信内容已成功发送到服务器\n剩余短信70000条\n");
    EXPECT_EQ(quota(), 70000);
    auto sent = submissions();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].numberCount, 30000);
}

TEST_F(CliSend, OverTheCapNothingIsSent) {
    ASSERT_EQ(admin({"set-quota", "demo", "100000"}), 0);
    const std::string file = writeFile("numbers.txt", NumberLines(30000));
    // 30001 recipients: the file and one typed number.
    CliRun over =
        demoCli("send", {"--numbers-file", file, "--number", "13800000000", "--text", "x"});
    const std::string fileSummary = file + "：读取30000行：添加30000个，重复0个，无法识别0个\n";
    EXPECT_EQ(over.code, 1);
    EXPECT_EQ(over.err, fileSummary + "发送条数不能超过3万个\n");
    EXPECT_EQ(over.out, "");
    // Two files that each pass the import's test but not the send's together.
    const std::string half = writeFile("half.txt", NumberLines(20000, 13700000000LL));
    over = demoCli("send", {"--numbers-file", half, "--numbers-file", file, "--text", "x"});
    EXPECT_EQ(over.code, 1);
    EXPECT_EQ(over.err, half + "：读取20000行：添加20000个，重复0个，无法识别0个\n" + fileSummary +
                            "发送条数不能超过3万个\n");
    EXPECT_TRUE(submissions().empty());
    EXPECT_EQ(quota(), 100000);
}

TEST_F(CliSend, OneFileOverTheImportCapIsRefusedLikeTheWindowsImport) {
    ASSERT_EQ(admin({"set-quota", "demo", "100000"}), 0);
    const std::string refusal = "本系统每次最多只能发送三万个号码，您导入的号码过多";
    const std::string big = writeFile("big.txt", NumberLines(30001));
    CliRun run = demoCli("send", {"--numbers-file", big, "--text", "x"});
    EXPECT_EQ(run.code, 2);
    EXPECT_EQ(
        run.err.rfind("smsclient-cli: " + refusal + "：" + big + "（文件中有30001个号码，超过" +
                          "每次3万个的上限；要全部发送，请用 smsclient-cli campaign start）",
                      0),
        0u)
        << run.err;
    // The import counts one copy per full interval: 30000 + 3 and 29800 + 298 are too many.
    const std::string full = writeFile("full.txt", NumberLines(30000));
    run = demoCli("send", {"--numbers-file", full, "--verify", "13800000000", "--interval", "10000",
                           "--text", "x"});
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find(refusal), std::string::npos) << run.err;
    const std::string most = writeFile("most.txt", NumberLines(29800));
    run = demoCli("send", {"--numbers-file", most, "--verify", "13800000000", "--text", "x"});
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find(refusal), std::string::npos) << run.err;
    EXPECT_TRUE(submissions().empty());

    // 29800 + 29 passes the import; the send carries 29800 numbers and 30 copies.
    run = demoCli("send", {"--numbers-file", most, "--verify", "13800000000", "--interval", "1000",
                           "--text", "x"});
    ASSERT_EQ(run.code, 0) << run.err;
    auto sent = submissions();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].numberCount, 29830);
}

TEST_F(CliSend, SendChecksInTheWindowsOrder) {
    auto check = [this](std::vector<std::string> args, const std::string& message) {
        CliRun run = demoCli("send", std::move(args));
        EXPECT_EQ(run.code, 1) << message;
        // A numbers file's summary line comes first.
        const size_t summary = run.err.find("无法识别");
        EXPECT_EQ(run.err.substr(summary == std::string::npos ? 0 : run.err.find('\n') + 1),
                  message + "\n");
    };
    check({"--verify", "  ", "--text", ""}, "验证号码为空，请输入验证号码！");
    check({"--verify", "12a", "--number", "13912345678", "--text", "x"}, "请输入正确的验证号码！");
    check({"--text", ""}, "发送对象数目为0请添加发送对象");
    // A file without any mobile number gives no recipient either.
    check({"--numbers-file", writeFile("none.txt", "12345 abc 1401234567"), "--text", "x"},
          "发送对象数目为0请添加发送对象");
    check({"--number", "1", "--text", ""}, "要发送的短信内容不能为空");
    check({"--number", "1", "--text", "\r\n\r\n"}, "要发送的短信内容不能为空");
    // Not the window's question: nobody can answer it here.
    check({"--number", "1", "--text", ChineseText(131), "--no-split"},
          "短信内容超过70个字，需要分3条发送；去掉 --no-split 即可分条发送");
    EXPECT_TRUE(submissions().empty());
    EXPECT_EQ(quota(), 10000);

    // Deliberate mend: blanks alone are empty too (they would be charged); 70 characters are
    // one SMS even with --no-split.
    check({"--number", "1", "--text", "  \t\r\n\xE3\x80\x80"}, "要发送的短信内容不能为空");
    EXPECT_EQ(demoCli("send", {"--number", "1", "--text", ChineseText(70), "--no-split"}).code, 0);
    EXPECT_EQ(quota(), 9999);
}

TEST_F(CliSend, ForbiddenWordIsRefusedByTheService) {
    CliRun run = demoCli("send", {"--number", "13912345678", "--text", "本店提供赌博服务"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "发送失败\n您发送的短信内容含有禁发关键词：赌博\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(quota(), 10000);
}

TEST_F(CliSend, UsageErrorsSendNothing) {
    for (const char* bad : {"139abc", "1234567890123", "", "139 1234"}) {
        CliRun run = demoCli("send", {"--number", bad, "--text", "x"});
        EXPECT_EQ(run.code, 2) << bad;
        EXPECT_NE(run.err.find("--help"), std::string::npos) << run.err;
    }
    // Blanks around a typed number are trimmed away.
    EXPECT_EQ(demoCli("send", {"--number", " 13912345678\t", "--text", "x"}).code, 0);
    EXPECT_EQ(demoCli("send", {"--numbers-file", m_files.file("missing.txt"), "--text", "x"}).code,
              2);
    EXPECT_EQ(demoCli("send", {"--number", "1", "--text-file", m_files.file("missing.txt")}).code,
              2);
    // Neither GBK nor UTF-8.
    const std::string broken = writeFile("broken.txt", "ab\xff\xfe\x81");
    EXPECT_EQ(demoCli("send", {"--number", "1", "--text-file", broken}).code, 2);
    // A character GBK cannot carry would go out as "?": refused instead, and named (a
    // refusal since the send check names it, exit 1).
    const CliRun emoji = demoCli("send", {"--number", "1", "--text", "笑脸😀"});
    EXPECT_EQ(emoji.code, 1);
    EXPECT_EQ(emoji.err, "短信内容含有无法发送的字符：😀\n");
    auto sent = submissions();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].numberCount, 1);
}

TEST(CliSendWire, VerificationCopiesAreInterleavedPerAddActionAndMarked) {
    RecordingServer server;
    server.setBody("/softweb/send1.asp", "7|100");
    TempFolder folder;
    folder.writeFile("n.txt", "13900000002,13900000003;13900000002 19900000004");
    auto numberString = [&server, &folder](std::vector<std::string> sources) {
        std::vector<std::string> args{
            "send",       "--user",         "demo",     "--password",    "demo",
            "--base-url", server.baseUrl(), "--verify", " 13800000000 ", "--interval",
            "2",          "--text",         "x"};
        for (std::string& source : sources)
            args.push_back(source == "FILE" ? folder.file("n.txt") : source);
        CliRun run = RunCliInProcess(args);
        EXPECT_EQ(run.code, 0) << run.err;
        return MultipartField(server.lastRequest().body, "smsnumber");
    };
    // Each add action starts its own blocks of K = 2, as the window's imports do: the typed
    // 1; the file's 2, 3 and the 199 number (its duplicate once); the typed 13800000000, which
    // equals the verification number and so is marked too.
    EXPECT_EQ(numberString(
                  {"--number", "13900000001", "--numbers-file", "FILE", "--number", "13800000000"}),
              "13800000000*13900000001|13800000000*13900000002|13900000003|"
              "13800000000*19900000004|13800000000*13800000000*");
    // Consecutive --number options are one typed batch; the same file twice is two imports.
    EXPECT_EQ(numberString({"--number", "13900000001", "--number", "13900000005", "--number",
                            "13900000006", "--numbers-file", "FILE", "--numbers-file", "FILE"}),
              "13800000000*13900000001|13900000005|13800000000*13900000006|"
              "13800000000*13900000002|13900000003|13800000000*19900000004|"
              "13800000000*13900000002|13900000003|13800000000*19900000004|");
    EXPECT_EQ(server.requestCount(), 2u);
}

TEST(CliSendWire, TextFileInGbkOrUtf8GivesTheSameBytes) {
    RecordingServer server;
    server.setBody("/softweb/send1.asp", "7|100");
    TempFolder folder;
    const std::string text = "会议通知：\r\n明天上午九点开会，请准时参加。";
    folder.writeFile("gbk.txt", G(text));
    folder.writeFile("utf8.txt", text);
    folder.writeFile("bom.txt", "\xEF\xBB\xBF" + text);
    cli::CliEnvironment env;
    env.password = "demo";
    env.boundary = "--------010224093000123";

    std::vector<std::string> bodies;
    for (std::vector<std::string> source :
         {std::vector<std::string>{"--text-file", folder.file("gbk.txt")},
          {"--text-file", folder.file("utf8.txt")},
          {"--text-file", folder.file("bom.txt")},
          {"--text", text}}) {
        std::vector<std::string> args{"send",           "--user",   "demo",       "--base-url",
                                      server.baseUrl(), "--number", "13912345678"};
        args.insert(args.end(), source.begin(), source.end());
        CliRun run = RunCliInProcess(args, env);
        ASSERT_EQ(run.code, 0) << run.err;
        bodies.push_back(server.lastRequest().body);
    }
    EXPECT_EQ(MultipartField(bodies[0], "smscontent"),
              G("会议通知：明天上午九点开会，请准时参加。"));
    EXPECT_EQ(MultipartField(bodies[0], "smsnumber"), "13912345678|");
    EXPECT_EQ(bodies[1], bodies[0]);
    EXPECT_EQ(bodies[2], bodies[0]);
    EXPECT_EQ(bodies[3], bodies[0]);
}

TEST(CliSendWire, RefusedPieceStopsTheRest) {
    RecordingServer server;
    int calls = 0;
    server.setHandler([&calls](const RecordedRequest&) {
        CannedResponse r;
        r.body = ++calls == 1 ? "7|500" : G("9|违禁词");
        return r;
    });
    CliRun run =
        RunCliInProcess({"send", "--user", "demo", "--password", "demo", "--base-url",
                         server.baseUrl(), "--number", "1", "--text", std::string(200, 'a')});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(server.requestCount(), 2u);  // of 4 pieces
    EXPECT_EQ(run.err,
              "发送失败\n您发送的短信内容含有禁发关键词：违禁词\n"
              "注意：共4条分条短信，其中1条已被服务器接受。\n");
    EXPECT_EQ(run.out, "");
}

TEST(CliSendWire, UnknownAnswerLetsPiecesGoOnButIsNoSuccess) {
    RecordingServer server;
    server.setBody("/softweb/send1.asp", "0|?");
    CliRun run =
        RunCliInProcess({"send", "--user", "demo", "--password", "demo", "--base-url",
                         server.baseUrl(), "--number", "1", "--text", std::string(71, 'a')});
    EXPECT_EQ(server.requestCount(), 2u);
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("无法识别"), std::string::npos) << run.err;

    server.setBody("/softweb/send1.asp", "3|12");  // a balance notice, not a success
    run = RunCliInProcess({"send", "--user", "demo", "--password", "demo", "--base-url",
                           server.baseUrl(), "--number", "1", "--text", "a"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "余额12\n");
}

TEST(CliSendWire, SuccessWithAnUnconfirmedEarlierPieceExitsOne) {
    RecordingServer server;
    const std::vector<std::string> answers = {"3|5", "7|9", "", "7|8"};
    size_t next = 0;
    server.setHandler([&](const RecordedRequest&) {
        CannedResponse r;
        r.body = answers[next++ % answers.size()];
        return r;
    });
    CliRun run =
        RunCliInProcess({"send", "--user", "demo", "--password", "demo", "--base-url",
                         server.baseUrl(), "--number", "1", "--text", std::string(200, 'a')});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "恭喜\n短信内容已成功发送到服务器\n剩余短信8条\n");
    EXPECT_EQ(run.err,
              "第1条（共4条）未得到服务器确认，请在发送记录中核对\n"
              "第3条（共4条）未得到服务器确认，请在发送记录中核对\n");
}

TEST(CliSendWire, NetworkFailure) {
    const int port = UnusedLoopbackPort();
    ASSERT_GT(port, 0);
    const std::string address = "http://127.0.0.1:" + std::to_string(port) + "/";
    CliRun run = RunCliInProcess({"send", "--user", "demo", "--password", "demo", "--base-url",
                                  address, "--number", "1", "--text", std::string(140, 'a')});
    EXPECT_EQ(run.code, 2);
    EXPECT_EQ(run.err, "发送失败\n连接服务器超时，请检查网络！\n");
}
