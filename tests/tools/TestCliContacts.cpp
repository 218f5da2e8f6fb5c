// smsclient-cli contacts: the numbers of the address book or of one group, in book order.
#include <gtest/gtest.h>

#include "platform/AtomicFile.h"
#include "platform/Gbk.h"
#include "tests/addressbook/BookFixtures.h"
#include "tests/tools/TestCliSupport.h"

using namespace smsc;
using namespace smsc::test;

TEST(CliContacts, PrintsTheBookOrOneGroup) {
    TempFolder dir;
    dir.writeFile("LinkmanBook/Contacts.xml", SampleBook());
    const struct {
        std::vector<std::string> args;
        int code;
        std::string out;
    } cases[] = {
        {{"contacts", "--data-dir", dir.path()},
         0,
         "13800000000\n13900000001\n13700000002\n13600000003\n"},
        {{"contacts", "--data-dir", dir.path(), "--group", "[客户]"},
         0,
         "13900000001\n13700000002\n"},
        {{"contacts", "--data-dir", dir.path(), "--group", "[客户]/[北京]"}, 0, "13700000002\n"},
        {{"contacts", "--data-dir", dir.path(), "--group", "客户/北京"}, 0, "13700000002\n"},
        {{"contacts", "--data-dir", dir.path(), "--group", "[客户]/[上海]"}, 1, ""},
        {{"contacts", "--data-dir", dir.path(), "--group", "张三"}, 1, ""},
        {{"contacts", "--data-dir", dir.path() + "none"}, 2, ""},
        {{"contacts", "--user", "u"}, 2, ""},
        {{"balance", "--user", "u", "--group", "[客户]"}, 2, ""},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCliInProcess(c.args);
        EXPECT_EQ(run.code, c.code) << c.args.back() << run.err;
        EXPECT_EQ(run.out, c.out) << c.args.back();
        EXPECT_EQ(run.err.empty(), c.code == 0) << run.err;
    }
}

// contacts-import into a group (saved, duplicates skipped on a second run), contacts-export
// of the book or a group, and their usage errors.
TEST(CliContacts, ImportAndExport) {
    TempFolder dir;
    dir.writeFile("LinkmanBook/Contacts.xml", SampleBook());
    dir.writeFile("in.csv", "姓名,手机号码,公司\r\n孙八,13500135004,华信\r\n李四,13900000001,\r\n");
    dir.writeFile("none.csv", "a,b\r\n");
    const std::string d = dir.path();
    const struct {
        std::vector<std::string> args;
        int code;
        std::string out;
    } cases[] = {
        {{"contacts-import", d + "in.csv", "--data-dir", d, "--group", "客户"},
         0,
         "导入1个联系人，跳过1个（号码重复或无效）\n"},
        {{"contacts-import", d + "in.csv", "--data-dir", d, "--group", "[客户]"},
         0,
         "导入0个联系人，跳过2个（号码重复或无效）\n"},
        {{"contacts", "--data-dir", d, "--group", "客户"},
         0,
         "13900000001\n13700000002\n13500135004\n"},
        {{"contacts-export", d + "out.csv", "--data-dir", d, "--group", "客户/北京"},
         0,
         "导出1个联系人\n"},
        {{"contacts-export", d + "all.vcf", "--data-dir", d}, 0, "导出5个联系人\n"},
        {{"contacts-import", d + "in.csv", "--data-dir", d, "--group", "[上海]"}, 1, ""},
        {{"contacts-import", d + "none.csv", "--data-dir", d, "--group", "客户"}, 2, ""},
        {{"contacts-import", d + "missing.vcf", "--data-dir", d, "--group", "客户"}, 2, ""},
        {{"contacts-import", d + "in.csv", "--data-dir", d}, 2, ""},
        {{"contacts-export", "--data-dir", d}, 2, ""},
        {{"contacts-export", d + "no/such/folder.vcf", "--data-dir", d}, 2, ""},
        {{"contacts-export", d + "x.vcf", "--user", "u"}, 2, ""},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCliInProcess(c.args);
        EXPECT_EQ(run.code, c.code) << c.args[1] << run.err;
        EXPECT_EQ(run.out, c.out) << c.args[1];
        EXPECT_EQ(run.err.empty(), c.code == 0) << run.err;
    }
    const std::string csv = ReadWholeFile(d + "out.csv").value_or("");
    EXPECT_EQ(csv.substr(csv.find("\r\n") + 2), "王五,13700000002,,,,,,,,客户/北京\r\n");
    EXPECT_EQ(ReadWholeFile(d + "all.vcf").value_or("").substr(0, 13), "BEGIN:VCARD\r\n");
}
