// The client settings every request carries, checked on the bytes a loopback server receives.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

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

const char* const kAccept =
    "image/gif, image/jpeg, image/pjpeg, image/pjpeg,application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, "
    "application/x-ms-application, application/x-ms-xbap, application/vnd.ms-xpsdocument, "
    "application/xaml+xml, application/QVOD, application/QVOD, */*";
const char* const kUserAgent =
    "Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.2; SV1; .NET CLR 1.1.4322; .NET CLR "
    "2.0.50727)";

using Headers = std::vector<std::pair<std::string, std::string>>;

Headers Sorted(Headers h) {
    std::sort(h.begin(), h.end());
    return h;
}

// The headers every request carries, plus the given ones.
Headers Expected(const RecordingServer& server, Headers extra) {
    Headers h = {{"Host", "127.0.0.1:" + std::to_string(server.port())},
                 {"User-Agent", kUserAgent},
                 {"Accept", kAccept},
                 {"Accept-Encoding", "gzip,deflate"},
                 {"Accept-Charset", "gb2312;q=0.7,*;q=0.7"},
                 {"Connection", "keep-alive"}};
    h.insert(h.end(), extra.begin(), extra.end());
    return Sorted(h);
}

std::string Compress(const std::string& data, int windowBits) {
    z_stream z{};
    EXPECT_EQ(
        deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY),
        Z_OK);
    std::string out(compressBound(data.size()) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

CannedResponse Encoded(const std::string& body, const std::string& encoding) {
    CannedResponse r;
    r.body = Compress(body, encoding == "gzip" ? 15 + 16 : 15);
    r.contentType = "application/octet-stream";  // so the server adds no coding of its own
    r.headers = {{"Content-Encoding", encoding}};
    return r;
}

}  // namespace

TEST(HttpSession, FormPostCarriesExactlyTheServiceHeaders) {
    RecordingServer server;
    server.setBody("/softweb/login.asp", "3|100");
    const ServiceContext ctx = ContextFor(server);
    EXPECT_EQ(Get_balance(ctx, "u", "p"), "3|100");
    const RecordedRequest req = server.lastRequest();
    EXPECT_EQ(req.method, "POST");
    EXPECT_EQ(req.target, "/softweb/login.asp");
    EXPECT_EQ(req.version, "HTTP/1.1");
    EXPECT_EQ(Sorted(req.headers),
              Expected(server, {{"Referer", server.baseUrl()},
                                {"Content-Type", "application/x-www-form-urlencoded"},
                                {"Content-Length", "21"}}));
    EXPECT_EQ(req.body, "username=u&password=p");
}

TEST(HttpSession, MultipartAndGetCarryTheirOwnHeaderSets) {
    RecordingServer server;
    server.setBody("/softweb/send1.asp", "7|10");
    server.setBody("/softweb/mms_send.asp", "7|9");
    server.setBody("/softweb/message.txt", "version=6.8");
    ServiceContext ctx = ContextFor(server);
    ctx.boundaryOverride = "--------010203040506007";

    EXPECT_EQ(SendMessage(ctx, "u", "p", "13800000000|", "hi"), "7|10");
    RecordedRequest req = server.lastRequest();
    EXPECT_EQ(req.version, "HTTP/1.1");
    EXPECT_EQ(
        Sorted(req.headers),
        Expected(server, {{"Referer", server.baseUrl()},
                          {"Content-Type", "multipart/form-data; boundary=--------010203040506007"},
                          {"Content-Length", std::to_string(req.body.size())}}));

    // The MMS page takes no Referer.
    HttpSession mms(ctx);
    ASSERT_TRUE(mms.multipartPost("softweb/mms_send.asp", {{"username", "u"}}).ok);
    req = server.lastRequest();
    EXPECT_FALSE(req.hasHeader("Referer"));
    EXPECT_EQ(req.header("Content-Type"), "multipart/form-data; boundary=--------010203040506007");

    const HttpResult notice = FetchNotice(ctx);
    ASSERT_TRUE(notice.ok);
    EXPECT_EQ(notice.body, "version=6.8");
    req = server.lastRequest();
    EXPECT_EQ(req.method, "GET");
    EXPECT_EQ(req.target, "/softweb/message.txt");
    EXPECT_EQ(req.version, "HTTP/1.1");
    EXPECT_EQ(Sorted(req.headers), Expected(server, {}));
}

TEST(HttpSession, RefererOnlyOnThePagesOfTheIndexThatTakeIt) {
    RecordingServer server;
    server.setHandler([](const RecordedRequest&) {
        CannedResponse r;
        r.body = "4|";
        return r;
    });
    const ServiceContext ctx = ContextFor(server);
    for (ServicePage page : {ServicePage::Login, ServicePage::ChangePassword, ServicePage::Receive,
                             ServicePage::ConsumerLog, ServicePage::NumberList}) {
        ASSERT_TRUE(PostForm(ctx, page, "username=u").ok);
        const RecordedRequest req = server.lastRequest();
        EXPECT_EQ(req.target, std::string("/") + PageSpecFor(page).path);
        EXPECT_EQ(req.header("Referer"), server.baseUrl()) << req.target;
    }
    // A page outside the index is posted plainly.
    HttpSession other(ctx);
    ASSERT_TRUE(other.formPost("softweb/other.asp", "a=b").ok);
    EXPECT_FALSE(server.lastRequest().hasHeader("Referer"));
    ASSERT_TRUE(DownloadFile(ctx, "a.emm").ok);
    EXPECT_FALSE(server.lastRequest().hasHeader("Referer"));
    // Posting a non-form page through PostForm is refused without a request.
    const size_t before = server.requestCount();
    EXPECT_FALSE(PostForm(ctx, ServicePage::Notice, "x").ok);
    EXPECT_EQ(server.requestCount(), before);
}

TEST(HttpSession, RedirectsAndErrorStatusesAreFailures) {
    RecordingServer server;
    CannedResponse redirect;
    redirect.status = 302;
    redirect.body = "3|1";
    redirect.headers = {{"Location", server.baseUrl() + "softweb/elsewhere.asp"}};
    server.setResponse("/softweb/login.asp", redirect);
    server.setBody("/softweb/elsewhere.asp", "3|999");
    CannedResponse broken;
    broken.status = 500;
    broken.body = "3|1";
    server.setResponse("/softweb/changepassword.asp", broken);
    const ServiceContext ctx = ContextFor(server);

    EXPECT_EQ(Get_balance(ctx, "u", "p"), FailureAnswer());
    ASSERT_EQ(server.requestCount(), 1u);  // the redirect was not followed
    EXPECT_EQ(ChangePassword(ctx, "u", "a", "b"), FailureAnswer());
    EXPECT_EQ(server.requestCount(), 2u);

    server.setResponse("/softweb/receive.asp", broken);
    const HttpResult r = PostForm(ctx, ServicePage::Receive, "username=u");
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.body.empty());
    HttpSession get(ctx);
    EXPECT_FALSE(get.textGet(server.baseUrl() + "missing.txt").ok);  // 404
}

TEST(HttpSession, ReadTimeoutEndsAnExchangeThatGoesQuiet) {
    RecordingServer server;
    CannedResponse slow;
    slow.body = "3|100";
    slow.delay = std::chrono::milliseconds(1500);
    server.setResponse("/softweb/login.asp", slow);
    CannedResponse prompt;
    prompt.body = "3|5";
    server.setResponse("/softweb/changepassword.asp", prompt);
    ServiceContext ctx = ContextFor(server);
    ctx.readTimeoutOverride = std::chrono::milliseconds(300);

    // Ended by the timeout: the answer would have been "3|100".
    EXPECT_EQ(Get_balance(ctx, "u", "p"), FailureAnswer());
    EXPECT_EQ(server.requestCount(), 1u);

    // An answer inside the timeout arrives normally.
    EXPECT_EQ(ChangePassword(ctx, "u", "a", "b"), "3|5");
}

TEST(HttpSession, NoLineMeansNoRequestAtAll) {
    RecordingServer server;
    server.setBody("/softweb/login.asp", "3|100");
    server.setBody("/softweb/message.txt", "x");
    ServiceContext ctx = ContextFor(server);
    ctx.boundaryOverride = "B";
    test::TempFolder folder;
    folder.writeFile("a.emm", "bytes");
    for (int line : {-1, 2}) {
        ctx.lineIndex = line;
        EXPECT_EQ(Get_balance(ctx, "u", "p"), FailureAnswer());
        EXPECT_EQ(ChangePassword(ctx, "u", "p", "q"), FailureAnswer());
        EXPECT_EQ(SendMessage(ctx, "u", "p", "13800000000|", "hi"), FailureAnswer());
        EXPECT_EQ(SendMms(ctx, "u", "p", "13800000000|", "t", folder.file("a.emm")),
                  FailureAnswer());
        EXPECT_FALSE(PostForm(ctx, ServicePage::ConsumerLog, "username=u").ok);
        EXPECT_FALSE(FetchNotice(ctx).ok);
    }
    // A line whose address is missing from the settings behaves the same.
    ctx.lineIndex = 0;
    ctx.endpoints.telecomUrl.clear();
    EXPECT_EQ(Get_balance(ctx, "u", "p"), FailureAnswer());
    ctx.endpoints.downloadUrl.clear();
    EXPECT_FALSE(DownloadFile(ctx, "a.emm").ok);
    // Only http and https addresses are ever used.
    ctx.endpoints.telecomUrl = "file://" + folder.path();
    ctx.endpoints.downloadUrl = "file://" + folder.path();
    EXPECT_EQ(Get_balance(ctx, "u", "p"), FailureAnswer());
    EXPECT_FALSE(DownloadFile(ctx, "a.emm").ok);
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST(HttpSession, TheLineChoosesTheBaseAddress) {
    RecordingServer server;
    server.setBody("/softweb/login.asp", "3|1");
    ServiceContext ctx = ContextFor(server);
    ctx.endpoints.telecomUrl = "http://127.0.0.1:9/";  // nothing listens there
    ctx.lineIndex = 1;
    EXPECT_EQ(Get_balance(ctx, "u", "p"), "3|1");
    EXPECT_EQ(server.lastRequest().header("Referer"), server.baseUrl());
    ctx.lineIndex = 0;
    EXPECT_EQ(Get_balance(ctx, "u", "p"), FailureAnswer());
    EXPECT_EQ(server.requestCount(), 1u);
}

TEST(HttpSession, CookiesLiveOnlyForOneClient) {
    RecordingServer server;
    CannedResponse withCookie;
    withCookie.body = "3|100";
    withCookie.headers = {{"Set-Cookie", "ASPSESSIONIDAB=XYZ; path=/"}};
    server.setResponse("/softweb/login.asp", withCookie);
    const ServiceContext ctx = ContextFor(server);
    EXPECT_EQ(Get_balance(ctx, "u", "p"), "3|100");
    EXPECT_EQ(Get_balance(ctx, "u", "p"), "3|100");
    EXPECT_EQ(ChangePassword(ctx, "u", "p", "q"), FailureAnswer());  // 404, but sent
    const auto reqs = server.requests();
    ASSERT_EQ(reqs.size(), 3u);
    for (const auto& r : reqs)
        EXPECT_FALSE(r.hasHeader("Cookie")) << r.raw;
}

TEST(HttpSession, CompressedAnswersAreDecoded) {
    RecordingServer server;
    const std::string answer = G("9|禁发词");
    server.setResponse("/softweb/login.asp", Encoded(answer, "gzip"));
    server.setResponse("/softweb/changepassword.asp", Encoded("5|ok", "deflate"));
    const std::string bytes = std::string("\x1F\x8B\0\xFF", 4) + std::string(5000, 'x');
    server.setResponse("/mms/a.emm", Encoded(bytes, "gzip"));
    const ServiceContext ctx = ContextFor(server);
    EXPECT_EQ(Get_balance(ctx, "u", "p"), answer);
    EXPECT_EQ(ChangePassword(ctx, "u", "p", "q"), "5|ok");
    const HttpResult file = DownloadFile(ctx, "a.emm");
    ASSERT_TRUE(file.ok);
    EXPECT_EQ(file.body, bytes);
}

TEST(HttpSession, AnOverLongAnswerHeaderLineIsAFailure) {
    RecordingServer server;
    CannedResponse longLine;
    longLine.body = "3|100";
    longLine.headers = {{"X-Padding", std::string(20000, 'a')}};
    server.setResponse("/softweb/login.asp", longLine);
    CannedResponse fine;
    fine.body = "3|100";
    fine.headers = {{"X-Padding", std::string(8000, 'a')}};
    server.setResponse("/softweb/changepassword.asp", fine);
    const ServiceContext ctx = ContextFor(server);
    EXPECT_EQ(Get_balance(ctx, "u", "p"), FailureAnswer());
    EXPECT_EQ(ChangePassword(ctx, "u", "p", "q"), "3|100");
}

TEST(HttpSession, ProxySettingsOfTheEnvironmentAreIgnored) {
    RecordingServer server;
    server.setBody("/softweb/login.asp", "3|100");
    const ServiceContext ctx = ContextFor(server);
    const char* names[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "ALL_PROXY", "all_proxy"};
    for (const char* n : names)
        setenv(n, "http://127.0.0.1:9/", 1);
    const std::string answer = Get_balance(ctx, "u", "p");
    for (const char* n : names)
        unsetenv(n);
    EXPECT_EQ(answer, "3|100");
    ASSERT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(server.lastRequest().target, "/softweb/login.asp");  // not an absolute proxy target
}

TEST(HttpSession, LargeBodiesGoWithoutExpectContinue) {
    RecordingServer server;
    server.setBody("/softweb/send1.asp", "7|1");
    const ServiceContext ctx = ContextFor(server);
    std::string numbers;
    for (int i = 0; i < 30000; ++i)
        numbers += "13800000000|";
    EXPECT_EQ(SendMessage(ctx, "u", "p", numbers, std::string(2 * 1024 * 1024, 'x')), "7|1");
    const RecordedRequest req = server.lastRequest();
    EXPECT_FALSE(req.hasHeader("Expect"));
    EXPECT_NE(req.body.find(numbers), std::string::npos);
    EXPECT_EQ(req.header("Content-Length"), std::to_string(req.body.size()));
}
