// smsclient-cli lookup: the page's number and area-code lookups on a small database.
#include "tests/lookup/SegmentFixture.h"
#include "tests/tools/TestCliSupport.h"

using namespace smsc;
using namespace smsc::test;

TEST(CliLookup, NumberAndAreaCodeWithPlacelessSegmentChangedToSayPlaceUnknown) {
    TempFolder folder;
    ASSERT_TRUE(WriteSegmentDatabase(folder.file("sjhmd.dat")));
    const std::string dir = folder.path();
    const struct {
        std::vector<std::string> args;
        int code;
        std::string out;
        std::string err;
    } cases[] = {
        {{"lookup", "13912345678", "--data-dir", dir}, 0, "江苏\t常州\t中国移动\t0519\n", ""},
        {{"lookup", "--data-dir=" + dir, " 1349000"}, 0, "北京\t北京\t\t010\n", ""},
        {{"lookup", "--area-code", "010", "--data-dir", dir}, 0, "北京\t北京\t010\n", ""},
        // Deliberately changed: a segment without a place says so beside its card type.
        {{"lookup", "19912345678", "--data-dir", dir}, 0, "归属地未知\t\t中国电信\t\n", ""},
        {{"lookup", "13999990000", "--data-dir", dir}, 1, "", "对不起，没有查到该手机号的归属地\n"},
        {{"lookup", "1380abc", "--data-dir", dir}, 1, "", "请输入正确的手机号！\n"},
        {{"lookup", "--area-code", "010' OR '1'='1", "--data-dir", dir},
         1,
         "",
         "对不起，没有查到该区号的归属地\n"},
        // Without the database every lookup finds nothing.
        {{"lookup", "13800000000", "--data-dir", dir + "missing"},
         1,
         "",
         "对不起，没有查到该手机号的归属地\n"},
    };
    for (const auto& c : cases) {
        CliRun run = RunCliInProcess(c.args);
        EXPECT_EQ(run.code, c.code) << c.args[1];
        EXPECT_EQ(run.out, c.out) << c.args[1];
        EXPECT_EQ(run.err, c.err) << c.args[1];
    }
    // The folder of the executable when --data-dir is absent.
    cli::CliEnvironment env;
    env.dataDir = dir;
    EXPECT_EQ(RunCliInProcess({"lookup", "13800000000"}, env).out, "北京\t北京\t中国移动\t010\n");
}

TEST(CliLookup, UsageErrors) {
    const std::vector<std::vector<std::string>> bad = {
        {"lookup"},
        {"lookup", "1", "2"},
        {"lookup", "1", "--area-code", "010"},
        {"lookup", "1", "--user", "u"},
        {"balance", "--user", "u", "--area-code", "010"},
    };
    for (const auto& args : bad)
        EXPECT_EQ(RunCliInProcess(args).code, 2) << args.back();
}
