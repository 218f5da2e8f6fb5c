// Servers that answer badly on purpose: a raw loopback socket writes exactly the bytes (and
// at the pace) each case needs.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "service/ServiceClient.h"

using namespace smsc;
using namespace std::chrono_literals;

namespace {

// Accepts connections on 127.0.0.1, reads each request whole, then hands the socket to the
// answer function.
class RawServer {
public:
    explicit RawServer(std::function<void(int fd)> answer) : m_answer(std::move(answer)) {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        socklen_t length = sizeof addr;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &length);
        m_port = ntohs(addr.sin_port);
        ::listen(m_listen, 4);
        m_thread = std::thread([this] { serve(); });
    }
    ~RawServer() {
        m_stop = true;
        m_thread.join();
        ::close(m_listen);
    }
    ServiceContext context() const {
        ServiceContext ctx;
        ctx.endpoints.telecomUrl = "http://127.0.0.1:" + std::to_string(m_port) + "/";
        ctx.lineIndex = 0;
        return ctx;
    }

private:
    void serve() {
        while (!m_stop) {
            pollfd p{m_listen, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const int fd = ::accept(m_listen, nullptr, nullptr);
            if (fd < 0)
                continue;
            std::string request;
            char buffer[65536];
            size_t need = std::string::npos;
            while (request.size() < need) {
                const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
                if (got <= 0)
                    break;
                request.append(buffer, static_cast<size_t>(got));
                const size_t head = request.find("\r\n\r\n");
                if (need == std::string::npos && head != std::string::npos) {
                    const size_t at = request.find("Content-Length: ");
                    need = head + 4 + (at < head ? std::stoul(request.substr(at + 16)) : 0);
                }
            }
            m_answer(fd);
            ::close(fd);
        }
    }

    std::function<void(int fd)> m_answer;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

void Write(int fd, const std::string& bytes) {
    ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

std::string Gzip(const std::string& data) {
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(compressBound(data.size()) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

}  // namespace

TEST(HostileAnswers, AServerThatDripsBytesIsCutOffByTheOverallDeadline) {
    // One byte every 20 ms never lets a 1 s read timeout run out; 4 × 1 s ends it while the
    // server would go on dripping for ten minutes.
    std::atomic<bool> done{false};
    std::atomic<bool> exhausted{false};
    RawServer server([&](int fd) {
        Write(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
        for (int i = 0; i < 30000 && !done; ++i) {
            Write(fd, "3");
            std::this_thread::sleep_for(20ms);
        }
        exhausted = !done;
    });
    ServiceContext ctx = server.context();
    ctx.readTimeoutOverride = 1000ms;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Get_balance(ctx, "u", "p"), FailureAnswer());
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(exhausted.load());
    done = true;
    EXPECT_GE(took, 1000ms);
}

TEST(HostileAnswers, ACompressedAnswerCutShortIsAFailure) {
    const std::string answer = "3|" + std::string(3000, '1') + "0";
    const std::string whole = Gzip(answer);
    for (const bool cut : {true, false}) {
        const std::string sent = cut ? whole.substr(0, whole.size() - 10) : whole;
        RawServer server([&](int fd) {
            Write(fd,
                  "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nConnection: close\r\n\r\n" + sent);
        });
        EXPECT_EQ(Get_balance(server.context(), "u", "p"), cut ? FailureAnswer() : answer);
    }
    // A coding the client never asked for is no answer either.
    RawServer server([](int fd) {
        Write(fd, "HTTP/1.1 200 OK\r\nContent-Encoding: br\r\nContent-Length: 5\r\n\r\n3|100");
    });
    EXPECT_EQ(Get_balance(server.context(), "u", "p"), FailureAnswer());
}
