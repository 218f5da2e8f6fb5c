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
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(get("/softweb/message.txt").status, 200);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);  // not after a read timeout (5 s)

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
