// smsclient-cli contacts: the numbers of the address book or of one group, in book order.
#include <gtest/gtest.h>

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
