// The program smsclient-demo-service as a child process: --port 0, the port on the first
// line of its output, a login, and a clean end on SIGTERM.
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDataDir.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using smsc::test::ChildProcess;

namespace {

std::string Program() {
    return smsc::test::BinProgram("smsclient-demo-service");
}

}  // namespace

TEST(DemoServiceProcess, EphemeralPortLoginAndCleanStop) {
    ChildProcess child(Program(), {"--port", "0"});
    ASSERT_TRUE(child.started()) << Program();
    std::string out = child.readLines(2);
    int port = std::atoi(out.substr(0, out.find('\n')).c_str());
    ASSERT_GT(port, 0) << out;

    httplib::Client client("127.0.0.1", port);
    auto r = client.Post("/softweb/login.asp", "username=demo&password=demo",
                         "application/x-www-form-urlencoded");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->body, "3|10000");

    // The second line names the temporary data folder, which goes with the process.
    size_t at = out.find("data folder ");
    ASSERT_NE(at, std::string::npos) << out;
    std::string folder = out.substr(at + 12, out.find(',', at) - at - 12);
    EXPECT_TRUE(std::filesystem::exists(folder + "/demo-service.sqlite")) << folder;
    EXPECT_EQ(child.stop(SIGTERM), 0);
    EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST(DemoServiceProcess, AdminCommandReachesARunningService) {
    smsc::test::TempFolder data;
    ChildProcess service(Program(), {"--port", "0", "--data-dir", data.path()});
    ASSERT_TRUE(service.started());
    int port = std::atoi(service.readLines(1).c_str());
    ASSERT_GT(port, 0);

    ChildProcess admin(Program(), {"admin", "--data-dir", data.path(), "set-quota", "demo", "42"});
    EXPECT_EQ(admin.wait(), 0);
    httplib::Client client("127.0.0.1", port);
    auto r = client.Post("/softweb/login.asp", "username=demo&password=demo",
                         "application/x-www-form-urlencoded");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->body, "3|42");

    // The port is taken: a second service says so and ends.
    ChildProcess second(Program(), {"--port", std::to_string(port)});
    EXPECT_EQ(second.wait(), 1);
    EXPECT_EQ(service.stop(SIGINT), 0);
    EXPECT_TRUE(std::filesystem::exists(data.file("demo-service.sqlite")));  // given folder stays
}

TEST(DemoServiceProcess, HelpAndBadOptions) {
    ChildProcess help(Program(), {"--help"});
    EXPECT_NE(help.readLines(100).find("set-state USER enabled|disabled"), std::string::npos);
    EXPECT_EQ(help.wait(), 0);
    EXPECT_EQ(ChildProcess(Program(), {"--port", "nope"}).wait(), 2);
    EXPECT_EQ(ChildProcess(Program(), {"admin", "set-quota"}).wait(), 2);
    EXPECT_EQ(ChildProcess(Program(), {"--port", "0", "--date-order", "dd-mm"}).wait(), 2);

    // "東" is 96 7C in GBK: the code-9 answer would be cut inside the word.
    smsc::test::ChildOptions options;
    options.captureStderr = true;
    ChildProcess words(Program(), {"--port", "0", "--forbidden-words", "促销,東"}, options);
    words.readAll();
    EXPECT_EQ(words.wait(), 2);
    EXPECT_NE(words.err().find("\"東\""), std::string::npos) << words.err();
    EXPECT_EQ(words.out(), "");  // never listened
}

TEST(DemoServiceProcess, NoticeFileTheClientMisreadsIsServedWithAWarning) {
    smsc::test::TempFolder folder;
    const std::string notice = "Version=6.8\r\nmmstosms=5\r\nTitle=x\r\n\xFF\r\n";
    folder.writeFile("message.txt", notice);
    smsc::test::ChildOptions options;
    options.captureStderr = true;
    ChildProcess service(
        Program(),
        {"--port", "0", "--notice-file", folder.file("message.txt"), "--date-order", "ymd"},
        options);
    std::string out = service.readLines(3);
    int port = std::atoi(out.c_str());
    ASSERT_GT(port, 0) << out;
    EXPECT_NE(out.find("dates read as ymd (--date-order)"), std::string::npos) << out;

    httplib::Client client("127.0.0.1", port);
    auto r = client.Get("/softweb/message.txt");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->body, notice);
    EXPECT_EQ(service.stop(SIGTERM), 0);
    service.readAll();
    EXPECT_NE(service.err().find("warning: the notice file is not valid GBK"), std::string::npos)
        << service.err();
    EXPECT_NE(service.err().find("warning: line 4 of the notice file"), std::string::npos)
        << service.err();
}
