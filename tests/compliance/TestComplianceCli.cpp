// smsclient-cli check, and the same check inside send, send-mms and campaign start, against
// a recording loopback service: what blocks sends nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Gbk.h"
#include "tests/support/RecordingServer.h"
#include "tests/support/TempDataDir.h"
#include "tools/cli/Cli.h"

using namespace smsc;
using smsc::test::RecordingServer;
using smsc::test::TempFolder;

namespace {

struct CliResult {
    int code;
    std::string out, err;
};

class ComplianceCli : public ::testing::Test {
protected:
    void SetUp() override {
        server.setBody("/softweb/send1.asp", "7|100");
        server.setBody("/softweb/mms_send.asp", "7|100");
        folder.writeFile("Company_Info.ini", "[Create_Line]\r\nline_index=0\r\n");
    }
    void configure(const std::string& utf8Section) {
        folder.writeFile("Company_Info.ini", G("[Compliance]\r\n" + utf8Section));
    }
    CliResult cli(std::vector<std::string> args) {
        args.insert(args.end(), {"--data-dir", folder.path()});
        std::ostringstream out, err;
        const int code = cli::RunCli(args, out, err, {});
        return {code, out.str(), err.str()};
    }
    CliResult send(const std::string& command, std::vector<std::string> more) {
        std::vector<std::string> args{command,      "--user",         "u",        "--password", "p",
                                      "--base-url", server.baseUrl(), "--number", "13912345678"};
        args.insert(args.end(), more.begin(), more.end());
        return cli(args);
    }
    std::string sentContent() {
        const std::string body = server.lastRequest().body;
        const std::string head = "name=\"smscontent\"\r\n\r\n";
        const size_t at = body.find(head) + head.size();
        return body.substr(at, body.find("\r\n--", at) - at);
    }

    RecordingServer server;
    TempFolder folder;
};

}  // namespace

TEST_F(ComplianceCli, CheckPrintsOneFindingPerLineAndExitsOneWhenSomethingBlocks) {
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string out;
    } cases[] = {
        {{"check", "--text", "会议改到三点"},
         0,
         "warning\tsignature-"
         "unset\t未设置短信签名，短信开头也没有【签名】（可在“发送前检查设置”中设置）\n"},
        {{"check", "--text", "笑😊€"}, 1, "error\tunsendable\t短信内容含有无法发送的字符：😊 €\n"},
        {{"check", "--text", " \r\n"}, 1, "error\tempty\t要发送的短信内容不能为空\n"},
    };
    for (const Case& c : cases) {
        const CliResult r = cli(c.args);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_EQ(r.out, c.out);
    }
    // The user's lists appear once the check is set up.
    EXPECT_FALSE(std::filesystem::exists(folder.file("Compliance/Words.txt")));
    configure("Signature=【星河】\r\n");
    folder.writeFile("promo.txt", G("促销：代开发票"));  // a GBK file
    const CliResult r = cli({"check", "--text-file", folder.file("promo.txt"), "--kind",
                             "marketing", "--at", "2026-03-01 21:30"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out,
              "error\tsignature-missing\t短信开头没有签名【星河】\n"
              "error\tunsubscribe-missing\t营销短信末尾没有退订语“拒收请回复R”\n"
              "warning\tmarketing-hours\t营销短信只能在08:00-21:00发送，发送时间不在此时段内\n"
              "error\tsensitive-word\t含有敏感词：代开发票\n");
    EXPECT_TRUE(std::filesystem::exists(folder.file("Compliance/Words.txt")));
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"check"},
          {"check", "--text", "x", "--kind", "ad"},
          {"check", "--text", "x", "--at", "2026-02-30 10:00"},
          {"check", "--text", "x", "--number", "1"}})
        EXPECT_EQ(cli(bad).code, 2) << bad.back();
}

TEST_F(ComplianceCli, DeliberateMendsEmojiAndBlankTextsReachNoService) {
    struct Case {
        std::string command;
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {"send", {"--text", "祝您新年快乐😊！€"}, "短信内容含有无法发送的字符：😊 €\n"},
        {"send", {"--text", "\xE3\x80\x80 \t\r\n"}, "要发送的短信内容不能为空\n"},
        {"send-mms", {"--file", "x.emm", "--title", "贺卡🎉"}, "彩信标题含有无法发送的字符：🎉\n"},
    };
    for (const Case& c : cases) {
        const CliResult r = send(c.command, c.args);
        EXPECT_EQ(r.code, 1) << c.err;
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(ComplianceCli, SendRunsTheSameCheckAndSendsTheTextAsItGoesOut) {
    configure("Signature=【星河】\r\nAuto_Signature=1\r\nAuto_Unsubscribe=1\r\n");
    CliResult r = send("send", {"--text", "春季促销", "--kind", "marketing"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(sentContent(), G("【星河】春季促销拒收请回复R"));
    // A notice goes as typed, signature added.
    r = send("send", {"--text", "会议改到三点"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(sentContent(), G("【星河】会议改到三点"));
    // The added characters count: 68 typed + 4 signature characters make two pieces.
    r = send("send", {"--text", std::string(68, 'a'), "--dry-run"});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("pieces\t2\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");  // nothing to warn about
    EXPECT_EQ(server.requestCount(), 2u);

    // Blocking findings: nothing goes out; the dry run shows them.
    const size_t before = server.requestCount();
    r = send("send", {"--text", "【别家】代开发票"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("error\tsensitive-word\t含有敏感词：代开发票\n"), std::string::npos)
        << r.err;
    r = send("send", {"--text", "★特价", "--dry-run"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("error\tsymbol\t"), std::string::npos) << r.err;
    r = send("send-mms", {"--file", folder.file("Company_Info.ini"), "--title", "博彩"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("error\tsensitive-word\t"), std::string::npos) << r.err;
    r = send("campaign", {"start", "c1", "--text", "代开发票"});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(server.requestCount(), before);
}
