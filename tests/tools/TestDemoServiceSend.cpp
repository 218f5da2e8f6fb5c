// The send pages of the demo service: SMS and MMS answer codes, quota arithmetic, stored
// MMS files, and requests the service must survive.
#include "tests/tools/DemoServiceFixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <thread>

using namespace smsc;
using namespace smsc::test;

using DemoSend = DemoServiceTest;

namespace {

// Sends the bytes as they stand to 127.0.0.1:port and returns the first line of the answer
// ("" when none came in time).
std::string RawStatusLine(int port, const std::string& request) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {};
    timeval timeout{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        size_t sent = 0;
        while (sent < request.size()) {
            ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<size_t>(n);
        }
        char buffer[4096];
        ssize_t n;
        while (answer.find("\r\n") == std::string::npos &&
               (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
            answer.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return answer.substr(0, answer.find("\r\n"));
}

}  // namespace

TEST_F(DemoSend, SmsChargesOneUnitPerNumberCarried) {
    EXPECT_EQ(sendSms("13912345678|", G("你好")), "7|9999");
    // The verification copy marked "*" is carried, and so charged, too.
    EXPECT_EQ(sendSms("13912345678|13800000000*13812345678|", "x"), "7|9996");
    EXPECT_EQ(sendSms(Numbers(1000), "x"), "7|8996");
    EXPECT_EQ(login(), "3|8996");

    ASSERT_EQ(admin({"set-quota", "demo", "3"}), 0);
    EXPECT_EQ(sendSms(Numbers(4), "x"), "4");
    EXPECT_EQ(login(), "3|3");  // a refused request costs nothing
    EXPECT_EQ(sendSms(Numbers(3), "x"), "7|0");
}

TEST_F(DemoSend, SmsRefusals) {
    EXPECT_EQ(sendSms("1|", "x", "demo", "bad"), "1");
    EXPECT_EQ(sendSms("1|", "x", "ghost", "demo"), "1");
    for (const char* numbers : {"", "|*|", "13912345678|abc|", "1234567890123|", "139 1234|"})
        EXPECT_EQ(sendSms(numbers, "x"), "5") << numbers;

    std::string seventy(70, 'a'), chinese70;
    for (int i = 0; i < 70; ++i)
        chinese70 += G("字");
    EXPECT_EQ(sendSms("1|", ""), "6");
    EXPECT_EQ(sendSms("1|", "\r\n"), "6");
    EXPECT_EQ(sendSms("1|", seventy + "b"), "6");
    EXPECT_EQ(sendSms("1|", chinese70 + G("字")), "6");
    EXPECT_EQ(sendSms("1|", "1\r\n" + seventy.substr(1)), "7|9999");
    EXPECT_EQ(sendSms("1|", chinese70), "7|9998");
    EXPECT_EQ(sendSms("1|", "   "), "7|9997");  // blanks are content

    EXPECT_EQ(sendSms("1|", G("这里有赌博内容")), "9|" + G("赌博"));
    EXPECT_EQ(sendSms(Numbers(30001), "x"), "8");

    // Codes "1" and "2" come before any check of the content.
    ASSERT_EQ(admin({"set-state", "demo", "disabled"}), 0);
    EXPECT_EQ(sendSms("abc|", ""), "2");
    EXPECT_EQ(login(), "2");
}

TEST_F(DemoSend, ThirtyThousandNumbersPass) {
    ASSERT_EQ(admin({"set-quota", "demo", "40000"}), 0);
    EXPECT_EQ(sendSms(Numbers(30000), "x"), "7|10000");
}

TEST_F(DemoSend, ForbiddenWordsFromTheOptions) {
    demo::ServiceOptions options;
    options.forbiddenWords = demo::ParseForbiddenWords("促销,SPAM");
    startService(options);
    EXPECT_EQ(sendSms("1|", G("限时促销")), "9|" + G("促销"));
    EXPECT_EQ(sendSms("1|", "no spam"), "7|9999");  // case matters
    EXPECT_EQ(sendSms("1|", G("赌博")), "7|9998");  // the default list is replaced
}

TEST_F(DemoSend, ConcurrentSendsChargeExactly) {
    std::vector<std::thread> threads;
    std::atomic<int> accepted{0};
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([this, &accepted] {
            httplib::Client client("127.0.0.1", m_service->port());
            std::string body = ClientMultipart({{"username", "demo"},
                                                {"password", "demo"},
                                                {"smsnumber", "1|2|"},
                                                {"smscontent", "x"}},
                                               std::nullopt, kBoundary);
            for (int i = 0; i < 15; ++i) {
                auto r = client.Post(
                    "/softweb/send1.asp", body,
                    (std::string("multipart/form-data; boundary=") + kBoundary).c_str());
                if (r && r->body.rfind("7|", 0) == 0)
                    ++accepted;
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(accepted, 90);
    EXPECT_EQ(login(), "3|" + std::to_string(10000 - 180));
}

TEST_F(DemoSend, MmsCodes) {
    FilePart card{G("C:\\彩信\\贺卡.emm"), "EMM-bytes"};
    EXPECT_EQ(sendMms("1|2|", G("新年好"), card), "7|9990");  // mmstosms 5 per number

    EXPECT_EQ(sendMms("1|", "t", FilePart{"C:\\a.exe", "x"}), "12");
    EXPECT_EQ(sendMms("1|", "t", FilePart{"C:\\a.emm", ""}), "11");
    EXPECT_EQ(sendMms("1|", "t", std::nullopt), "11");
    EXPECT_EQ(sendMms("1|", "t", FilePart{"C:\\a.jpg", std::string(46081, 'x')}), "13");
    EXPECT_EQ(sendMms("1|", "t", FilePart{"C:\\a.JPG", std::string(46080, 'x')}), "7|9985");
    EXPECT_EQ(sendMms("1|", "", card), "6");
    EXPECT_EQ(sendMms("1|", std::string(71, 't'), card), "6");
    EXPECT_EQ(sendMms("1|", G("违禁词标题"), card), "9|" + G("违禁词"));
    EXPECT_EQ(sendMms("x|", "t", card), "5");
    EXPECT_EQ(sendMms(Numbers(30001), "t", card), "8");
    EXPECT_EQ(sendMms("1|", "t", card, "ghost"), "1");

    ASSERT_EQ(admin({"set-quota", "demo", "9"}), 0);
    EXPECT_EQ(sendMms("1|2|", "t", card), "4");
    ASSERT_EQ(admin({"set-mms", "closed"}), 0);
    EXPECT_EQ(sendMms("1|", "t", card), "10");
    ASSERT_EQ(admin({"set-mms", "open"}), 0);
    EXPECT_EQ(sendMms("1|", "t", card), "7|4");
}

TEST_F(DemoSend, MmsCostFollowsTheNoticeFile) {
    demo::ServiceOptions options;
    options.notice = "Version=6.8\r\nmmstosms=8\r\nx=y\r\nNotice=n\r\n";
    startService(options);
    EXPECT_EQ(sendMms("1|2|3|", "t", FilePart{"a.gif", "GIF89a"}), "7|9976");
    EXPECT_EQ(get("/softweb/message.txt").body, options.notice);
}

TEST_F(DemoSend, StoredMmsDownloadsByteForByte) {
    std::string bytes;
    for (int i = 0; i < 4096; ++i)
        bytes += static_cast<char>(i * 7 % 256);
    bytes += "\r\n--" + std::string(kBoundary).substr(0, 20) + "\r\n";  // almost a boundary
    ASSERT_EQ(sendMms("1|", "t", FilePart{"C:\\x.mid", bytes}), "7|9995");

    std::string log = form("Consumerlog.asp", "username=demo&password=demo").body;
    // 4|id[**]count[**]title[**]state[**]type[**]file[**]time[$$]
    size_t type = log.find("[**]" + G("彩信") + "[**]");
    ASSERT_NE(type, std::string::npos) << log;
    size_t fileStart = type + 4 + G("彩信").size() + 4;
    std::string file = log.substr(fileStart, log.find("[**]", fileStart) - fileStart);
    EXPECT_EQ(file.substr(file.size() - 4), ".mid");

    Reply download = get("/mms/" + file);
    EXPECT_EQ(download.status, 200);
    EXPECT_EQ(download.body, bytes);
    EXPECT_EQ(get("/mms/nothing.emm").status, 404);
}

TEST_F(DemoSend, BadRequestsGetAnErrorAndTheServiceCarriesOn) {
    auto post = [this](const std::string& page, const std::string& body, const std::string& type) {
        auto r = m_client->Post(("/softweb/" + page).c_str(), body, type.c_str());
        return r ? r->status : 0;
    };
    std::string type = std::string("multipart/form-data; boundary=") + kBoundary;
    EXPECT_EQ(post("send1.asp", "garbage", type), 400);
    EXPECT_EQ(post("send1.asp",
                   "--" + std::string(kBoundary) +
                       "\r\nContent-Disposition: form-data; "
                       "name=\"username\"\r\n\r\ndemo",  // never closed
                   type),
              400);
    EXPECT_EQ(post("send1.asp", "x", "multipart/form-data"), 400);  // no boundary
    EXPECT_EQ(post("send1.asp", "username=demo&password=demo", "application/x-www-form-urlencoded"),
              400);
    EXPECT_EQ(multipart("send1.asp", {{"username", "demo"}, {"password", "demo"}}).status, 400);
    EXPECT_EQ(multipart("mms_send.asp", {{"username", "demo"}}).status, 400);
    EXPECT_EQ(login(), "3|10000");

    demo::ServiceOptions small;
    small.maxBodyBytes = 64 * 1024;
    startService(small);
    EXPECT_EQ(post("send1.asp", std::string(65 * 1024, 'x'), type), 413);
    EXPECT_EQ(login(), "3|10000");
}

TEST_F(DemoSend, BodyLimitsAtTheDefaults) {
    // A well-formed send whose number field is padded with empty pieces to the given size.
    auto send = [this](size_t bodySize) {
        std::vector<std::pair<std::string, std::string>> fields{{"username", "demo"},
                                                                {"password", "demo"},
                                                                {"smsnumber", Numbers(30001)},
                                                                {"smscontent", "x"}};
        size_t size = ClientMultipart(fields, std::nullopt, kBoundary).size();
        EXPECT_LT(size, bodySize);
        fields[2].second += std::string(bodySize - size, '|');
        std::string body = ClientMultipart(fields, std::nullopt, kBoundary);
        EXPECT_EQ(body.size(), bodySize);
        auto r =
            m_client->Post("/softweb/send1.asp", body,
                           (std::string("multipart/form-data; boundary=") + kBoundary).c_str());
        return r ? Reply{r->status, r->body} : Reply{};
    };
    // 30000 numbers of 12 digits and an MMS file fit many times over.
    EXPECT_GT(demo::kDefaultMaxBodyBytes, 30000u * 13 + 46080 + 4096);
    Reply atLimit = send(demo::kDefaultMaxBodyBytes);
    EXPECT_EQ(atLimit.status, 200);
    EXPECT_EQ(atLimit.body, "8");
    EXPECT_EQ(send(demo::kDefaultMaxBodyBytes + 1).status, 413);
    EXPECT_EQ(login(), "3|10000");

    // Form posts have the HTTP library's own, smaller limit.
    std::string body = "username=demo&password=demo&x=";
    body += std::string(demo::kMaxFormBodyBytes - body.size(), 'x');
    EXPECT_EQ(form("login.asp", body).body, "3|10000");
    EXPECT_EQ(form("login.asp", body + "x").status, 413);
}

TEST_F(DemoSend, BodiesOfUnknownLengthAreRefused) {
    // The limit is checked against Content-Length: a body without one, or an inflated one,
    // would otherwise be read whole whatever its size.
    const std::string form = "username=demo&password=demo";
    const std::string head =
        "POST /softweb/login.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\n";
    const int port = m_service->port();
    EXPECT_EQ(RawStatusLine(
                  port, head + "Transfer-Encoding: chunked\r\n\r\n1b\r\n" + form + "\r\n0\r\n\r\n"),
              "HTTP/1.1 411 Length Required");
    EXPECT_EQ(RawStatusLine(port, head + "\r\n" + form), "HTTP/1.1 411 Length Required");
    EXPECT_EQ(
        RawStatusLine(port, head + "Content-Encoding: gzip\r\nContent-Length: 27\r\n\r\n" + form),
        "HTTP/1.1 415 Unsupported Media Type");
    // The same request with its length is answered.
    EXPECT_EQ(RawStatusLine(port, head + "Content-Length: 27\r\n\r\n" + form), "HTTP/1.1 200 OK");
    EXPECT_EQ(login(), "3|10000");
}

TEST_F(DemoSend, SecondServiceOnTheSamePortFails) {
    TempFolder other;
    demo::ServiceOptions options;
    options.dataDir = other.path();
    demo::DemoService second(options);
    std::string error;
    EXPECT_FALSE(second.start(m_service->port(), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(login(), "3|10000");
}
