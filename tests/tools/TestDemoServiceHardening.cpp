// The demo service against clients and files that would hold it: connections that send
// their header a byte at a time, a notice "file" that is a FIFO or a device.
#include "tests/tools/DemoServiceFixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

using namespace smsc;
using namespace smsc::test;
using namespace std::chrono_literals;

namespace {

int ConnectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    return fd;
}

}  // namespace

using DemoHardening = DemoServiceTest;

TEST_F(DemoHardening, SlowHeadersNeitherBlockOthersNorStayForEver) {
    demo::ServiceOptions options;
    options.headerDeadline = 600ms;
    startService(options);
    // More idle header senders than the library's default workers.
    std::vector<int> slow;
    for (int i = 0; i < 12; ++i) {
        slow.push_back(ConnectTo(m_service->port()));
        ::send(slow.back(), "GET /softweb/message.txt HTTP/1.1\r\nHo", 37, MSG_NOSIGNAL);
    }
    EXPECT_EQ(get("/softweb/message.txt").status, 200);

    // One byte every 200 ms never lets the read timeout run out; the header deadline does.
    const int drip = ConnectTo(m_service->port());
    const std::string request = "GET /softweb/message.txt HTTP/1.1\r\nHost: x\r\n\r\n";
    bool cut = false;
    for (size_t i = 0; i < request.size() && !cut; ++i) {
        cut = ::send(drip, &request[i], 1, MSG_NOSIGNAL) != 1;
        std::this_thread::sleep_for(200ms);
        char byte;
        cut = cut || ::recv(drip, &byte, 1, MSG_DONTWAIT) == 0;
    }
    EXPECT_TRUE(cut);
    ::close(drip);
    for (int fd : slow)
        ::close(fd);
}

// Every worker held by a connection that sends nothing more of its header: a login queued
// behind them is answered, both when the holders run out of time while it waits (its own
// time starts on its worker) and when their deadline is far off (a connection waiting for
// a worker ends those idle for long).
TEST_F(DemoHardening, QueuedRequestsAreAnsweredWhileSlowSendersHoldEveryWorker) {
    for (const auto deadline : {600ms, 30000ms}) {
        SCOPED_TRACE(deadline.count());
        demo::ServiceOptions options;
        options.headerDeadline = deadline;
        options.workers = 2;
        startService(options);
        m_client->set_read_timeout(10, 0);
        std::vector<int> slow;
        for (int i = 0; i < options.workers; ++i) {
            slow.push_back(ConnectTo(m_service->port()));
            ::send(slow.back(), "POST /softweb/login.asp HTTP/1.1\r\nHo", 37, MSG_NOSIGNAL);
        }
        EXPECT_EQ(login(), "3|10000");
        for (int fd : slow)
            ::close(fd);
    }
}

// One request asking for many ranges must not make the service build that many copies:
// every page and file comes back whole, once, whatever ranges are asked for.
TEST_F(DemoHardening, RangesAreNotServed) {
    std::string bytes;
    for (int i = 0; i < 46080; ++i)
        bytes += static_cast<char>(i * 13 % 251);
    ASSERT_EQ(sendMms("1|", "t", FilePart{"C:\\a.gif", bytes}), "7|9995");
    const std::string log = form("Consumerlog.asp", "username=demo&password=demo").body;
    const size_t start = log.find(".gif");
    ASSERT_NE(start, std::string::npos) << log;
    const size_t from = log.rfind("[**]", start) + 4;
    const std::string file = log.substr(from, start + 4 - from);

    std::string many = "bytes=0-";
    for (int i = 1; i < 2600; ++i)
        many += ",0-";
    const std::pair<std::string, std::string> whole[] = {
        {"/mms/" + file, bytes},
        {"/softweb/message.txt", get("/softweb/message.txt").body},
    };
    for (const auto& [path, content] : whole) {
        for (const std::string& range : {many, std::string("bytes=0-9"), std::string("bytes=5-")}) {
            SCOPED_TRACE(path + " " + range.substr(0, 20));
            const auto r = m_client->Get(path.c_str(), {{"Range", range}});
            ASSERT_TRUE(r);
            EXPECT_EQ(r->status, 200);
            EXPECT_LE(r->body.size(), content.size());  // not one copy per range
            EXPECT_TRUE(r->body == content);
        }
    }
}

TEST(DemoNoticeFile, OnlyARegularFileWithinTheLimitIsRead) {
    TempFolder folder;
    ASSERT_EQ(::mkfifo(folder.file("fifo").c_str(), 0600), 0);
    folder.writeFile("big.txt", std::string(2000, 'x'));
    folder.writeFile("ok.txt", "Version=6.8\r\n");
    std::string error;
    for (const std::string& path : {folder.file("fifo"), std::string("/dev/zero"),
                                    folder.file("big.txt"), folder.path(), folder.file("none")}) {
        EXPECT_FALSE(demo::ReadNoticeFile(path, 1000, &error)) << path;
        EXPECT_NE(error.find(path), std::string::npos) << error;
    }
    EXPECT_EQ(demo::ReadNoticeFile(folder.file("ok.txt"), 1000, &error), "Version=6.8\r\n");
}
