// smsclient-cli without a service: the command line, the help, extract, and the text and
// list helpers at its edges.
#include "tests/support/TextEncodings.h"
#include "tests/tools/TestCliSupport.h"
#include "tools/cli/CliOptions.h"
#include "tools/cli/CliText.h"

using namespace smsc;
using namespace smsc::cli;
using namespace smsc::test;

TEST(CliCommandLine, HelpDescribesEverything) {
    CliRun help = RunCliInProcess({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_EQ(help.err, "");
    for (const char* word : {"balance",
                             "send",
                             "send-mms",
                             "--file",
                             "--title",
                             "extract",
                             "--user",
                             "--password",
                             "--line",
                             "--base-url",
                             "--data-dir",
                             "--number",
                             "--numbers-file",
                             "--text",
                             "--text-file",
                             "--verify",
                             "--interval",
                             "--no-split",
                             "SMSCLIENT_PASSWORD",
                             "退出码",
                             "示例",
                             "不再询问"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    EXPECT_EQ(RunCliInProcess({"help"}).out, help.out);
    EXPECT_EQ(RunCliInProcess({"send", "--bogus", "-h"}).code, 2);  // an error before -h wins
    EXPECT_EQ(RunCliInProcess({"send", "-h", "--bogus"}).out, help.out);
}

TEST(CliCommandLine, UsageErrors) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"transfer"},
        {"balance", "--user", "u", "--colour", "red"},
        {"balance", "--user"},
        {"balance"},
        {"balance", "--user", "u", "--user", "v"},
        {"balance", "--user", "u", "extra"},
        {"balance", "--user", "u", "--text", "x"},  // a send option
        {"balance", "--user", "u", "--line", "2"},
        {"balance", "--user", "u", "--base-url", "ftp://host/"},
        {"balance", "--user", "u", "--base-url", "http://"},
        {"balance", "--user", "u", "--base-url", "http://host/a b"},
        {"send", "--user", "u", "--number", "1"},  // no text
        {"send", "--user", "u", "--number", "1", "--text", "x", "--text-file", "f"},
        {"send", "--user", "u", "--number", "1", "--text", "x", "--interval", "100"},
        {"send", "--user", "u", "--verify", "1", "--interval", "0", "--text", "x"},
        {"send", "--user", "u", "--verify", "1", "--interval", "1e3", "--text", "x"},
        {"send", "--user", "u", "--no-split=yes", "--text", "x"},
        {"send-mms", "--user", "u", "--number", "1", "--title", "t"},  // no file
        {"send-mms", "--user", "u", "--number", "1", "--file", "f"},   // no title
        {"send-mms", "--user", "u", "--file", "f", "--title", "t", "--text", "x"},
        {"send", "--user", "u", "--text", "x", "--title", "t"},
        {"balance", "--user", "u", "--file", "f"},
        {"extract"},
        {"extract", "a.txt", "b.txt"},
        {"extract", "a.txt", "--user", "u"},
    };
    for (const auto& args : bad) {
        CliRun run = RunCliInProcess(args);
        std::string line;
        for (const auto& a : args)
            line += a + " ";
        EXPECT_EQ(run.code, 2) << line;
        EXPECT_NE(run.err.find("smsclient-cli --help"), std::string::npos) << line;
        EXPECT_EQ(run.out, "") << line;
    }
    CliRun unknown = RunCliInProcess({"balance", "--pasword", "hunter2", "--user", "u"});
    EXPECT_NE(unknown.err.find("--pasword"), std::string::npos);
    EXPECT_EQ(unknown.err.find("hunter2"), std::string::npos);  // a value is never repeated
}

TEST(CliCommandLine, ParsedOptions) {
    std::string error;
    auto o = ParseCliOptions({"--user=u", "send", "--number", " 139 ", "--numbers-file", "f.txt",
                              "--number=1", "--text", "--looks-like-an-option", "--verify", "7",
                              "--interval", "1000", "--base-url", "HTTPS://h:8/x", "--line", "1"},
                             &error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->command, Command::Send);
    EXPECT_EQ(o->user, "u");
    ASSERT_EQ(o->numbers.size(), 3u);
    EXPECT_EQ(o->numbers[0].value, "139");
    EXPECT_TRUE(o->numbers[1].fromFile);
    EXPECT_EQ(o->numbers[2].value, "1");
    EXPECT_EQ(o->text, "--looks-like-an-option");
    EXPECT_EQ(o->interval, 1000);
    EXPECT_EQ(o->baseUrl, "HTTPS://h:8/x/");
    EXPECT_EQ(o->line, 1);

    o = ParseCliOptions({"send", "--user", "u", "--verify", "7", "--text", "x"}, &error);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->interval, 100);  // the interval box's initial value
    o = ParseCliOptions({"extract", "--", "-odd name.txt"}, &error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->extractFile, "-odd name.txt");
}

TEST(CliExtract, PrintsTheNumbersOfAFile) {
    TempFolder folder;
    // GBK text around the numbers; a repeat, a 12-digit run, a 143 and a 140 number, today's
    // prefixes 199 and 170 and the unallocated 194.
    folder.writeFile("mix.txt", G("张三 13912345678，李四：13800000000；\r\n") +
                                    "13912345678 139123456789 14312345678 14012345678\r\n" +
                                    "19912345678 19412345678 17012345678\r\n" +
                                    G("王五15012345678"));
    CliRun run = RunCliInProcess({"extract", folder.file("mix.txt")});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out,
              "13912345678\n13800000000\n14312345678\n19912345678\n17012345678\n15012345678\n");
    EXPECT_EQ(run.err, "读取4行：添加6个，重复1个，无法识别0个\n");

    // Numbers as people write them; digits inside an order or ID number are no number.
    folder.writeFile("forms.txt", G("138-1234-5678\r\n+86 139 1234 5678\r\n139 1234 5679\r\n"
                                    "订单号：2024120913800001004\r\n身份证 11010519491231002X\r\n"
                                    "(0086)150-1234-5678\r\n"));
    run = RunCliInProcess({"extract", folder.file("forms.txt")});
    EXPECT_EQ(run.out, "13812345678\n13912345678\n13912345679\n15012345678\n");
    EXPECT_EQ(run.err, "读取6行：添加4个，重复0个，无法识别2个\n");

    folder.writeFile("empty.txt", "");
    run = RunCliInProcess({"extract", folder.file("empty.txt")});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, "");

    run = RunCliInProcess({"extract", folder.file("missing.txt")});
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find("missing.txt"), std::string::npos);
    run = RunCliInProcess({"extract", folder.path()});  // a folder
    EXPECT_EQ(run.code, 2);
    // A file saved as "Unicode" is read as the text it holds, as the window reads it.
    folder.writeFile("utf16.txt", Utf16File("张三 13912345678\r\n"));
    run = RunCliInProcess({"extract", folder.file("utf16.txt")});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "13912345678\n");
}

TEST(CliText, MessageFileEncodings) {
    std::string error;
    const std::string utf8 = "短信€";
    const std::string gbk = G(utf8);
    EXPECT_EQ(MessageFromFileBytes(utf8, &error), gbk);
    EXPECT_EQ(MessageFromFileBytes("\xEF\xBB\xBF" + utf8, &error), gbk);
    EXPECT_EQ(MessageFromFileBytes(gbk, &error), gbk);
    EXPECT_EQ(MessageFromFileBytes("plain ascii", &error), "plain ascii");
    EXPECT_EQ(MessageFromFileBytes("\xEF\xBB\xBF", &error), "");

    EXPECT_FALSE(MessageFromFileBytes("\xFF\xFEh\0i", &error));  // UTF-16
    EXPECT_NE(error.find("UTF-16"), std::string::npos);
    EXPECT_FALSE(MessageFromFileBytes("ok\x81", &error));  // a lead byte without its trail
    EXPECT_FALSE(MessageFromFileBytes("\xEF\xBB\xBF" + gbk, &error));
    EXPECT_FALSE(MessageFromFileBytes("emoji \xF0\x9F\x98\x80", &error));
}

TEST(CliText, ShortGbkThatIsAlsoValidUtf8) {
    std::string error;
    // "小写位" in GBK is D0A1 D0B4 CEBB: three valid two-byte UTF-8 sequences ("Сдλ").
    const std::string gbk = "\xD0\xA1\xD0\xB4\xCE\xBB";
    ASSERT_EQ(gbk, G("小写位"));
    ASSERT_TRUE(IsValidUtf8(gbk));
    EXPECT_EQ(MessageFromFileBytes(gbk, &error), gbk);
    EXPECT_EQ(MessageFromFileBytes("ok " + gbk + "\r\n", &error), "ok " + gbk + "\r\n");
    // Two-byte UTF-8 is still UTF-8 with a byte-order mark, or beside a Chinese character.
    EXPECT_EQ(MessageFromFileBytes("\xEF\xBB\xBF"
                                   "Сдλ",
                                   &error),
              G("Сдλ"));
    EXPECT_EQ(MessageFromFileBytes("Сдλ小", &error), G("Сдλ小"));
    EXPECT_NE(G("Сдλ"), gbk);
}

TEST(CliText, Utf8AndTerminalOutput) {
    EXPECT_TRUE(IsValidUtf8("a中\xF0\x9F\x98\x80"));
    for (const char* bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                            "\xE4\xB8", "\x80", "\xFF"})
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
    EXPECT_EQ(GbkFromTerminal("中文"), G("中文"));
    EXPECT_FALSE(GbkFromTerminal("\xE4\xB8"));

    EXPECT_EQ(TerminalFromGbk(G("恭喜\r短信\r\n内容\n")), "恭喜\n短信\n内容\n");
    EXPECT_EQ(TerminalFromGbk("a\x1b]0;x\x07"
                              "b\tc\x7f"),
              "a]0;xb\tc");
    EXPECT_EQ(TrimBlanks("\t 139 \r\n"), "139");
    EXPECT_EQ(TrimBlanks("  "), "");
}

TEST(CliText, VerificationCopies) {
    auto numbers = [](int n) {
        std::vector<std::string> v;
        for (int i = 0; i < n; ++i)
            v.push_back(std::to_string(i));
        return v;
    };
    auto copiesAt = [](const std::vector<std::string>& list) {
        std::vector<size_t> at;
        for (size_t i = 0; i < list.size(); ++i)
            if (list[i] == "V")
                at.push_back(i);
        return at;
    };
    // 250 numbers, interval 100: before numbers 0, 100 and 200.
    auto list = InterleaveVerification(numbers(250), "V", 100);
    EXPECT_EQ(list.size(), 253u);
    EXPECT_EQ(copiesAt(list), (std::vector<size_t>{0, 101, 202}));
    EXPECT_EQ(list[102], "100");
    EXPECT_EQ(copiesAt(InterleaveVerification(numbers(200), "V", 100)),
              (std::vector<size_t>{0, 101}));
    // Fewer numbers than the interval: one copy, first.
    list = InterleaveVerification(numbers(10), "V", 1000);
    EXPECT_EQ(copiesAt(list), (std::vector<size_t>{0}));
    EXPECT_EQ(list.size(), 11u);
    EXPECT_TRUE(InterleaveVerification({}, "V", 100).empty());
}
