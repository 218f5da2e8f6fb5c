// The bodies of the account, send and record requests, byte for byte as the service gets them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "platform/Gbk.h"
#include "service/ServiceClient.h"
#include "tests/service/ServiceFixture.h"
#include "tests/support/RecordingServer.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using smsc::test::CannedResponse;
using smsc::test::ContextFor;
using smsc::test::RecordedRequest;
using smsc::test::RecordingServer;

namespace {

const std::string kBoundary = "--------123109235958007";

// The boundary of the request's Content-Type when it is "--------" and 15 digits, else "".
std::string TimeStampBoundaryOf(const RecordedRequest& req) {
    const std::string prefix = "multipart/form-data; boundary=--------";
    const std::string type = req.header("Content-Type");
    if (type.rfind(prefix, 0) != 0 || type.size() != prefix.size() + 15)
        return {};
    const std::string digits = type.substr(prefix.size());
    if (!std::all_of(digits.begin(), digits.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return {};
    return "--------" + digits;
}

std::string TextPart(const std::string& name, const std::string& value) {
    return "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" +
           value + "\r\n";
}

}  // namespace

TEST(Get_balance, FieldsGoUnescapedSoAnAmpersandInTheNameSplitsIt) {
    RecordingServer server;
    server.setBody("/softweb/login.asp", "3|0");
    const ServiceContext ctx = ContextFor(server, kBoundary);
    EXPECT_EQ(Get_balance(ctx, "a&b=c", "p%20+w"), "3|0");
    EXPECT_EQ(server.lastRequest().body, "username=a&b=c&password=p%20+w");

    const std::string name = G("张三");
    EXPECT_EQ(Get_balance(ctx, name, "pw  "), "3|0");  // trailing blanks of the last field go
    EXPECT_EQ(server.lastRequest().body, "username=" + name + "&password=pw");

    EXPECT_EQ(Get_balance(ctx, "ab\r\ncd", "x"), "3|0");
    EXPECT_EQ(server.lastRequest().body, "username=ab&cd&password=x&");
}

TEST(Get_balance, AnswersAreReturnedAsTheyCome) {
    RecordingServer server;
    const ServiceContext ctx = ContextFor(server, kBoundary);
    for (const std::string& answer : {std::string("3"), std::string(""), G("1|用户名错误|")}) {
        server.setBody("/softweb/login.asp", answer);
        EXPECT_EQ(Get_balance(ctx, "u", "p"), answer);
    }
}

TEST(ChangePassword, PostsOldAndNewPassword) {
    RecordingServer server;
    server.setBody("/softweb/changepassword.asp", "5");
    const ServiceContext ctx = ContextFor(server, kBoundary);
    EXPECT_EQ(ChangePassword(ctx, " u", "old", "new pw "), "5");
    const RecordedRequest req = server.lastRequest();
    EXPECT_EQ(req.target, "/softweb/changepassword.asp");
    EXPECT_EQ(req.body, "username= u&password=old&newpassword=new pw");
}

TEST(SendMessage, MultipartBodyInFieldOrder) {
    RecordingServer server;
    server.setBody("/softweb/send1.asp", "7|1234");
    const ServiceContext ctx = ContextFor(server, kBoundary);
    const std::string text = G("（1/2）你好 ") + "a&b";
    EXPECT_EQ(SendMessage(ctx, "u&1", "p w", "13912345678|13800000000*", text), "7|1234");
    const RecordedRequest req = server.lastRequest();
    EXPECT_EQ(req.target, "/softweb/send1.asp");
    EXPECT_EQ(req.header("Content-Type"), "multipart/form-data; boundary=" + kBoundary);
    EXPECT_EQ(req.body, TextPart("username", "u&1") + TextPart("password", "p w") +
                            TextPart("smsnumber", "13912345678|13800000000*") +
                            TextPart("smscontent", text) + "--" + kBoundary + "--\r\n");
}

TEST(SendMessage, BoundaryIsATimeStampWhenNotFixed) {
    RecordingServer server;
    server.setBody("/softweb/send1.asp", "7|1");
    ServiceContext ctx = ContextFor(server, kBoundary);
    ctx.boundaryOverride.reset();
    EXPECT_EQ(SendMessage(ctx, "u", "p", "13800000000|", "hi"), "7|1");
    const RecordedRequest req = server.lastRequest();
    const std::string b = TimeStampBoundaryOf(req);
    ASSERT_FALSE(b.empty()) << req.header("Content-Type");
    EXPECT_EQ(req.body.rfind("--" + b + "\r\n", 0), 0u);
    EXPECT_EQ(req.body.substr(req.body.size() - b.size() - 6), "--" + b + "--\r\n");

    // A value that happens to hold the stamps of the coming moments does not break the body
    // apart: the boundary moves on to a stamp the body does not hold.
    const auto now = std::chrono::system_clock::now();
    std::string clash = "x";
    for (int i = 0; i < 500; ++i)
        clash += "\r\n--" + MakeBoundary(now + std::chrono::milliseconds(i));
    EXPECT_EQ(SendMessage(ctx, "u", "p", "13800000000|", clash), "7|1");
    const RecordedRequest second = server.lastRequest();
    const std::string b2 = TimeStampBoundaryOf(second);
    ASSERT_FALSE(b2.empty());
    EXPECT_EQ(clash.find("--" + b2), std::string::npos);
    EXPECT_NE(second.body.find(clash), std::string::npos);
}

TEST(SendMessage, FailuresGiveTheFailureAnswer) {
    RecordingServer server;
    CannedResponse down;
    down.status = 503;
    down.body = "7|1";
    server.setResponse("/softweb/send1.asp", down);
    const ServiceContext ctx = ContextFor(server, kBoundary);
    EXPECT_EQ(SendMessage(ctx, "u", "p", "1|", "x"), FailureAnswer());
    ServiceContext refused = ctx;
    refused.endpoints.telecomUrl = "http://127.0.0.1:9/";
    EXPECT_EQ(SendMessage(refused, "u", "p", "1|", "x"), FailureAnswer());
}

TEST(SendMms, FilePartCarriesTheBytesAndThePathAsGiven) {
    RecordingServer server;
    server.setBody("/softweb/mms_send.asp", "7|880");
    const ServiceContext ctx = ContextFor(server, kBoundary);
    test::TempFolder folder;
    const std::string bytes = std::string("EMM\0\r\n--\xFF\xFE", 10) + std::string(3000, 'z');
    folder.writeFile("彩信 1.emm", bytes);
    const std::string path = G(folder.file("彩信 1.emm"));  // as the file field gives it
    const std::string title = G("标题\r\n第二行");

    EXPECT_EQ(SendMms(ctx, "u", "p", "13800000000|13912345678|", title, path), "7|880");
    const RecordedRequest req = server.lastRequest();
    EXPECT_EQ(req.target, "/softweb/mms_send.asp");
    EXPECT_FALSE(req.hasHeader("Referer"));
    EXPECT_EQ(req.header("Content-Type"), "multipart/form-data; boundary=" + kBoundary);
    const std::string expected =
        TextPart("username", "u") + TextPart("password", "p") +
        TextPart("mms_num", "13800000000|13912345678|") + TextPart("mmstitle", G("标题第二行")) +
        "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"mmsfile\"; filename=\"" +
        path +
        "\"\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: "
        "binary\r\n\r\n" +
        bytes + "\r\n--" + kBoundary + "--\r\n";
    EXPECT_EQ(req.body, expected);
}

TEST(SendMms, UnreadableFileSendsNothing) {
    RecordingServer server;
    server.setBody("/softweb/mms_send.asp", "7|1");
    const ServiceContext ctx = ContextFor(server, kBoundary);
    test::TempFolder folder;
    EXPECT_EQ(SendMms(ctx, "u", "p", "1|", "t", folder.file("missing.emm")), FailureAnswer());
    EXPECT_EQ(SendMms(ctx, "u", "p", "1|", "t", folder.path()), FailureAnswer());  // a folder
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST(RecordHelpers, FormPostReportsTheAnswerOrAFailure) {
    RecordingServer server;
    server.setBody("/softweb/numberlist.asp", "4|13800000000|");
    const ServiceContext ctx = ContextFor(server, kBoundary);
    const HttpResult r = PostForm(ctx, ServicePage::NumberList,
                                  FormFieldText(ServicePage::NumberList, {"u", "p", "42"}));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.body, "4|13800000000|");
    EXPECT_EQ(server.lastRequest().body, "username=u&password=p&id=42");
    EXPECT_EQ(server.lastRequest().header("Content-Type"), "application/x-www-form-urlencoded");

    const HttpResult missing = PostForm(ctx, ServicePage::Receive, "username=u");  // 404
    EXPECT_FALSE(missing.ok);
    EXPECT_FALSE(missing.error.empty());
}

TEST(RecordHelpers, DownloadAppendsTheFileNameToTheDownloadAddress) {
    RecordingServer server;
    CannedResponse file;
    file.body = std::string("\0\x01\x02\xFF", 4);
    file.contentType = "application/octet-stream";
    server.setResponse("/mms/2024/a.emm", file);
    server.setResponse("/mms/a%20b%D6%D0%23.emm", file);
    const ServiceContext ctx = ContextFor(server, kBoundary);

    HttpResult r = DownloadFile(ctx, "2024/a.emm");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.body, file.body);
    EXPECT_EQ(server.lastRequest().method, "GET");

    r = DownloadFile(ctx, "a b" + G("中") + "#.emm");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(server.lastRequest().target, "/mms/a%20b%D6%D0%23.emm");

    EXPECT_FALSE(DownloadFile(ctx, "gone.emm").ok);
}

// A name from the service stays below the download address: a name with a "." or ".."
// part is refused without a request, and what would end or change the path is encoded.
TEST(RecordHelpers, DownloadNamesStayBelowTheDownloadAddress) {
    RecordingServer server;
    const ServiceContext ctx = ContextFor(server, kBoundary);
    const struct {
        std::string name;
        std::string target;  // empty: refused
    } cases[] = {
        {"../up/pic.gif", ""},
        {"a/../../b.gif", ""},
        {"./a.gif", ""},
        {"a/..", ""},
        {"..\\up\\pic.gif", ""},
        {"a?b=1.gif", "/mms/a%3Fb=1.gif"},
        {"100%.gif", "/mms/100%25.gif"},
        {"%2e%2e/x.gif", "/mms/%252e%252e/x.gif"},
        {G("淺") + ".emm", "/mms/%9C%5C.emm"},  // both bytes of the character
        {"2024/a..b.emm", "/mms/2024/a..b.emm"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.clearRequests();
        const HttpResult r = DownloadFile(ctx, c.name);
        EXPECT_EQ(IsDownloadableName(c.name), !c.target.empty());
        if (c.target.empty()) {
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(server.requestCount(), 0u);
        } else {
            ASSERT_EQ(server.requestCount(), 1u);
            EXPECT_EQ(server.lastRequest().target, c.target);
        }
    }
}
