// smsclient-cli replies, records, numbers and download-mms against a recording server: the
// requests, the listings, the refusals and failures with their exit codes, and the options.
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/AtomicFile.h"
#include "platform/Gbk.h"
#include "tests/tools/TestCliSupport.h"

using namespace smsc;
using namespace smsc::test;

namespace {

class CliRecords : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("LC_ALL", "C", 1);
        files.writeFile("Company_Info.ini",
                        "[Service_Url]\r\nDownload_Url=" + server.baseUrl() + "mms/\r\n");
    }

    CliRun run(const std::string& command, std::vector<std::string> args) {
        std::vector<std::string> all{command,      "--user",        "u1", "--password", "p1",
                                     "--base-url", server.baseUrl()};
        all.insert(all.end(), args.begin(), args.end());
        cli::CliEnvironment env;
        env.dataDir = files.path();  // its Company_Info.ini names the download address
        return RunCliInProcess(all, env);
    }

    RecordingServer server;
    TempFolder files;
};

const std::string kRecords =
    G("4|18[**]1[**]标题[**]已提交[**]彩信[**]../up/pic.gif[**]2024-01-05 11:00:00[$$]"
      "17[**]3[**]第一行\r\n第二行[**]已提交[**]短信[**][**]2024-01-05 10:00:00[$$]");

TEST_F(CliRecords, RepliesAndTheirAnswers) {
    server.setBody("/softweb/receive.asp",
                   G("4|13912345678*2024-01-05 16:29^你好\r\n再见[$$]x[$$]"));
    CliRun ok = run("replies", {"--from", "2024-01-05", "--to", "2024-02-29"});
    EXPECT_EQ(ok.code, 0) << ok.err;
    EXPECT_EQ(ok.out, "2024-01-05 16:29\t13912345678\t你好 再见\n\t\t\n");
    EXPECT_EQ(server.lastRequest().body,
              "username=u1&password=p1&startime=01/05/24&endtime=02/29/24");

    struct Case {
        std::string answer;
        int code;
        std::string err;
    } cases[] = {
        {"1|", 1, "用户名或者密码错误\n"},
        {"2", 1, "帐户被停用\n"},
        {G("3|12"), 1, "余额不足，当前余额为：12\n"},
        {"4", 2, "连接服务器超时，请检查网络！\n"},
        {"9|x", 1, "服务器返回了无法识别的应答：\"9|x\"\n"},
    };
    for (const Case& c : cases) {
        server.setBody("/softweb/receive.asp", c.answer);
        CliRun r = run("replies", {"--from", "2024-01-05", "--to", "2024-01-05"});
        EXPECT_EQ(r.code, c.code) << c.answer;
        EXPECT_EQ(r.err, c.err) << c.answer;
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(CliRecords, RecordsNumbersAndDownload) {
    server.setBody("/softweb/Consumerlog.asp", kRecords);
    CliRun records = run("records", {});
    EXPECT_EQ(records.code, 0) << records.err;
    EXPECT_EQ(records.out,
              "18\t1\t标题\t已提交\t彩信\t../up/pic.gif\t2024-01-05 11:00:00\n"
              "17\t3\t第一行 第二行\t已提交\t短信\t\t2024-01-05 10:00:00\n");

    // A short record ends the listing as on the page.
    server.setBody("/softweb/Consumerlog.asp", kRecords + "9[**]x[$$]");
    CliRun shortRecord = run("records", {});
    EXPECT_EQ(shortRecord.code, 2);
    EXPECT_EQ(shortRecord.err, "连接服务器超时，请检查网络！\n");
    EXPECT_EQ(std::count(shortRecord.out.begin(), shortRecord.out.end(), '\n'), 2);

    server.setBody("/softweb/numberlist.asp", "4|13900000001|13900000002|");
    CliRun numbers = run("numbers", {"--id", "17"});
    EXPECT_EQ(numbers.code, 0) << numbers.err;
    EXPECT_EQ(numbers.out, "13900000001\n13900000002\n");
    EXPECT_EQ(server.lastRequest().body, "username=u1&password=p1&id=17");
    // More numbers than a submission can have: the first 30000, and it is said.
    std::string many = "4|";
    for (int i = 0; i <= 30000; ++i)
        many += "1|";
    server.setBody("/softweb/numberlist.asp", many);
    CliRun cut = run("numbers", {"--id", "17"});
    EXPECT_EQ(cut.code, 2);
    EXPECT_EQ(cut.err, "服务器返回的号码超过30000个，只列出前30000个\n");
    EXPECT_EQ(cut.out.size(), 60000u);

    // The download: only for "彩信", saved under exactly the --output name.
    server.setBody("/softweb/Consumerlog.asp", kRecords);
    const std::string gif("GIF89a\0\x01", 8);
    std::string asked;
    server.setHandler([&](const RecordedRequest& r) {
        asked = r.target;
        CannedResponse response;
        response.body = gif;
        return response;
    });
    CliRun refused = run("download-mms", {"--id", "17", "--output", files.file("a.gif")});
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(refused.err, "该信息为短信文字信息，不是彩信，无法下载！\n");
    CliRun unknown = run("download-mms", {"--id", "99", "--output", files.file("a.gif")});
    EXPECT_EQ(unknown.code, 1);
    EXPECT_FALSE(ReadWholeFile(files.file("a.gif")));
    // A name that would leave the download address is refused without a request.
    CliRun unsafe = run("download-mms", {"--id", "18", "--output", files.file("a.gif")});
    EXPECT_EQ(unsafe.code, 1);
    EXPECT_EQ(unsafe.err, "彩信文件名不正确，无法下载\n");
    EXPECT_EQ(asked, "");
    EXPECT_FALSE(ReadWholeFile(files.file("a.gif")));

    std::string below = kRecords;
    below.replace(below.find("../up/"), 6, "2024/");
    server.setBody("/softweb/Consumerlog.asp", below);
    CliRun saved = run("download-mms", {"--id", "18", "--output", files.file("a.gif")});
    ASSERT_EQ(saved.code, 0) << saved.err;
    EXPECT_EQ(ReadWholeFile(files.file("a.gif")).value_or(""), gif);
    EXPECT_EQ(asked, "/mms/2024/pic.gif");

    // What --output names is written, not replaced: "-" is the standard output, a link's
    // file is written through it; a FIFO nobody reads and a folder are refused.
    std::filesystem::create_directory(files.file("dir"));
    std::filesystem::create_symlink(files.file("a.gif"), files.file("link.gif"));
    ::mkfifo(files.file("fifo").c_str(), 0600);
    const struct {
        std::string output;
        int code;
        std::string out;
    } outputs[] = {
        {"-", 0, gif},
        {files.file("link.gif"), 0, ""},
        {files.file("fifo"), 2, ""},
        {files.file("dir"), 2, ""},
    };
    for (const auto& o : outputs) {
        CliRun r = run("download-mms", {"--id", "18", "--output", o.output});
        EXPECT_EQ(r.code, o.code) << o.output << ": " << r.err;
        EXPECT_EQ(r.out, o.out) << o.output;
    }
    EXPECT_TRUE(std::filesystem::is_symlink(files.file("link.gif")));
    EXPECT_TRUE(std::filesystem::is_fifo(files.file("fifo")));
    EXPECT_TRUE(std::filesystem::is_directory(files.file("dir")));

    server.setHandler([](const RecordedRequest&) { return CannedResponse{}; });
    CliRun empty = run("download-mms", {"--id", "18", "--output", files.file("b.gif")});
    EXPECT_EQ(empty.code, 1);
    EXPECT_EQ(empty.err, "保存彩信文件失败\n");
    EXPECT_FALSE(ReadWholeFile(files.file("b.gif")));

    files.writeFile("Company_Info.ini", "");
    CliRun noAddress = run("download-mms", {"--id", "18", "--output", files.file("c.gif")});
    EXPECT_EQ(noAddress.code, 2);
    EXPECT_NE(noAddress.err.find("Download_Url"), std::string::npos) << noAddress.err;

    // --download-url stands in for the settings' address.
    server.setBody("/softweb/Consumerlog.asp",
                   G("4|18[**]1[**]标题[**]已提交[**]彩信[**]pic.gif[**]2024-01-05 11:00:00[$$]"));
    server.setHandler([&](const RecordedRequest& r) {
        asked = r.target;
        CannedResponse response;
        response.body = gif;
        return response;
    });
    CliRun given = run("download-mms", {"--id", "18", "--output", files.file("c.gif"),
                                        "--download-url", server.baseUrl() + "other"});
    ASSERT_EQ(given.code, 0) << given.err;
    EXPECT_EQ(asked.rfind("/other/", 0), 0u) << asked;
    EXPECT_EQ(ReadWholeFile(files.file("c.gif")).value_or(""), gif);
}

TEST_F(CliRecords, OptionsBelongToTheirCommands) {
    const std::vector<std::vector<std::string>> refused = {
        {"replies", "--from", "2024-01-05"},
        {"replies", "--from", "2024-02-30", "--to", "2024-03-01"},
        {"records", "--id", "1"},
        {"numbers"},
        {"numbers", "--id", "1&x=2"},
        {"download-mms", "--id", "1"},
        {"download-mms", "--id", "1", "--output", "x", "--download-url", "ftp://x/"},
        {"records", "--download-url", "http://127.0.0.1/"},
        {"balance", "--from", "2024-01-05"},
        {"replies", "--from", "2024-01-05", "--to", "2024-01-05", "--number", "139"},
    };
    for (const auto& args : refused) {
        CliRun r = run(args[0], std::vector<std::string>(args.begin() + 1, args.end()));
        EXPECT_EQ(r.code, 2) << args.size() << " " << args.back();
    }
    EXPECT_EQ(server.requestCount(), 0u);
}

}  // namespace
