// smsclient-cli send --dry-run and send-mms --dry-run: the send plan, one figure per line,
// without an account, a password or any request; the send checks still apply.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Gbk.h"
#include "tests/lookup/SegmentFixture.h"
#include "tests/tools/TestCliSupport.h"

using namespace smsc;
using namespace smsc::test;

namespace {

TEST(CliDryRun, PrintsThePlanAndSendsNothing) {
    TempFolder folder;
    ASSERT_TRUE(WriteSegmentDatabase(folder.file("sjhmd.dat")));
    folder.writeFile("Notice_info.ini", "[Notice_info]\r\nmmstosms=8\r\n");
    folder.writeFile("card.emm", "EMM");
    folder.writeFile("OptOut.txt", "13000002222\t2024-01-05\t" + G("手工") + "\r\n");
    RecordingServer server;  // must hear nothing
    cli::CliEnvironment env;
    env.dataDir = folder.path();

    const std::vector<std::string> numbers{"--number", "13800001111", "--number", "13000002222",
                                           "--number", "12345",       "--number", "13800001111"};
    auto args = [&](std::vector<std::string> head, std::vector<std::string> tail) {
        head.insert(head.end(), numbers.begin(), numbers.end());
        head.insert(head.end(), {"--base-url", server.baseUrl()});
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    };
    const struct {
        std::vector<std::string> args;
        int code;
        std::string out;
    } cases[] = {
        // 13000002222 is on the opt-out list.
        {args({"send", "--dry-run"}, {"--text", std::string(71, 'a')}), 0,
         "numbers\t3\nmobile\t2\nunicom\t0\ntelecom\t0\nbroadnet\t0\n"
         "other\t1\noptout\t1\nduplicates\t1\npieces\t2\nunits\t6\n"},
        {args({"send", "--dry-run", "--include-optout"}, {"--text", std::string(71, 'a')}), 0,
         "numbers\t4\nmobile\t2\nunicom\t1\ntelecom\t0\nbroadnet\t0\n"
         "other\t1\noptout\t0\nduplicates\t1\npieces\t2\nunits\t8\n"},
        // Verification copies before the 1st and 3rd number go out too; no repeats among them.
        {args({"send", "--dry-run", "--user", "demo"},
              {"--text", "短", "--verify", "13900000000", "--interval", "2"}),
         0,
         "numbers\t5\nmobile\t4\nunicom\t0\ntelecom\t0\nbroadnet\t0\n"
         "other\t1\noptout\t1\nduplicates\t1\npieces\t1\nunits\t5\n"},
        {args({"send-mms", "--dry-run"}, {"--file", folder.file("card.emm"), "--title", "贺卡"}), 0,
         "numbers\t3\nmobile\t2\nunicom\t0\ntelecom\t0\nbroadnet\t0\n"
         "other\t1\noptout\t1\nduplicates\t1\npieces\t8\nunits\t24\n"},
        // No rows for 198 and 192: the carrier rules count them, 198 as China Mobile's and
        // 192 as China Broadnet's.
        {{"send", "--dry-run", "--number", "19812345678", "--number", "19212345678", "--text", "短",
          "--base-url", server.baseUrl()},
         0,
         "numbers\t2\nmobile\t1\nunicom\t0\ntelecom\t0\nbroadnet\t1\nother\t0\noptout\t0\n"
         "duplicates\t0\npieces\t1\nunits\t2\n"},
        {args({"send", "--dry-run"}, {"--text", ""}), 1, ""},
        {args({"send-mms", "--dry-run"}, {"--file", folder.file("none.emm"), "--title", "贺卡"}), 1,
         ""},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCliInProcess(c.args, env);
        EXPECT_EQ(run.code, c.code) << run.err;
        EXPECT_EQ(run.out, c.out) << c.args.back();
    }
    EXPECT_EQ(server.requestCount(), 0u);
}

}  // namespace
