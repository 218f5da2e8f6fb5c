#include "tests/support/RecordingServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace smsc::test {
namespace {

bool iequals(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

bool sendAll(int fd, const std::string& data) {
    size_t off = 0;
    while (off < data.size()) {
        const ssize_t n = ::send(fd, data.data() + off, data.size() - off, MSG_NOSIGNAL);
        if (n <= 0) return false;
        off += static_cast<size_t>(n);
    }
    return true;
}

// Reads from fd into buf until pred(buf) or EOF/error/timeout. Returns false on EOF first.
template <typename Pred>
bool readUntil(int fd, std::string& buf, Pred pred, int timeoutMs = 30000) {
    char chunk[65536];
    while (!pred(buf)) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) return false;
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) return false;
        buf.append(chunk, static_cast<size_t>(n));
    }
    return true;
}

// Parses the head of an HTTP message; returns the content length (0 when absent).
size_t parseHead(const std::string& head, RecordedRequest* req) {
    size_t contentLength = 0;
    size_t pos = head.find("\r\n");
    const std::string first = head.substr(0, pos);
    if (req) {
        const auto s1 = first.find(' ');
        const auto s2 = first.rfind(' ');
        if (s1 != std::string::npos && s2 != std::string::npos && s2 > s1) {
            req->method = first.substr(0, s1);
            req->target = first.substr(s1 + 1, s2 - s1 - 1);
            req->version = first.substr(s2 + 1);
        }
    }
    while (pos != std::string::npos && pos + 2 < head.size()) {
        const size_t start = pos + 2;
        pos = head.find("\r\n", start);
        const std::string line = head.substr(start, pos == std::string::npos ? std::string::npos : pos - start);
        if (line.empty()) break;
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string name = line.substr(0, colon);
        const std::string value = trim(line.substr(colon + 1));
        if (req) req->headers.emplace_back(name, value);
        if (iequals(name, "Content-Length")) contentLength = std::stoul(value);
    }
    return contentLength;
}

int listenLoopback(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 64) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    return fd;
}

int connectLoopback(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::string RecordedRequest::header(const std::string& name) const {
    for (const auto& [k, v] : headers)
        if (iequals(k, name)) return v;
    return {};
}

bool RecordedRequest::hasHeader(const std::string& name) const {
    return std::any_of(headers.begin(), headers.end(),
                       [&](const auto& h) { return iequals(h.first, name); });
}

struct RecordingServer::Impl {
    httplib::Server backend;
    std::thread backendThread;
    int backendPort = 0;

    int relayFd = -1;
    int relayPort = 0;
    std::thread relayThread;
    std::atomic<bool> stopping{false};
    std::vector<std::thread> connections;

    mutable std::mutex mutex;
    std::vector<RecordedRequest> recorded;
    std::map<std::string, CannedResponse> responses;
    std::function<CannedResponse(const RecordedRequest&)> handler;
    std::map<int, CannedResponse> pending;  // answers decided by the relay, by request id
    int nextId = 0;

    CannedResponse answerFor(const RecordedRequest& req) {
        std::string path = req.target.substr(0, req.target.find('?'));
        std::unique_lock lock(mutex);
        auto it = responses.find(path);
        if (it != responses.end()) return it->second;
        if (handler) {
            auto h = handler;
            lock.unlock();
            return h(req);
        }
        CannedResponse notFound;
        notFound.status = 404;
        notFound.body = "not found";
        return notFound;
    }

    void serveConnection(int client) {
        std::string buf;
        const bool gotHead =
            readUntil(client, buf, [](const std::string& b) { return b.find("\r\n\r\n") != std::string::npos; });
        if (!gotHead) {
            ::close(client);
            return;
        }
        const size_t headEnd = buf.find("\r\n\r\n") + 4;
        RecordedRequest req;
        const size_t contentLength = parseHead(buf.substr(0, headEnd), &req);
        if (iequals(req.header("Expect"), "100-continue") && buf.size() < headEnd + contentLength)
            sendAll(client, "HTTP/1.1 100 Continue\r\n\r\n");
        readUntil(client, buf, [&](const std::string& b) { return b.size() >= headEnd + contentLength; });
        req.raw = buf.substr(0, std::min(buf.size(), headEnd + contentLength));
        req.body = req.raw.substr(std::min(req.raw.size(), headEnd));
        CannedResponse answer = answerFor(req);
        int id = 0;
        {
            std::lock_guard lock(mutex);
            recorded.push_back(req);
            id = ++nextId;
            pending[id] = std::move(answer);
        }
        // Hand the bytes to cpp-httplib, tagged with the id of the answer decided above,
        // and pass its answer back.
        std::string forwarded = req.raw;
        const size_t lineEnd = forwarded.find("\r\n");
        forwarded.insert(lineEnd + 2, "X-Recording-Id: " + std::to_string(id) + "\r\n");
        const int up = connectLoopback(backendPort);
        if (up >= 0) {
            if (sendAll(up, forwarded)) {
                std::string answer;
                readUntil(up, answer, [](const std::string& b) { return b.find("\r\n\r\n") != std::string::npos; }, 120000);
                const size_t aHead = answer.find("\r\n\r\n");
                if (aHead != std::string::npos) {
                    const size_t len = parseHead(answer.substr(0, aHead + 4), nullptr);
                    readUntil(up, answer, [&](const std::string& b) { return b.size() >= aHead + 4 + len; }, 120000);
                    sendAll(client, answer.substr(0, std::min(answer.size(), aHead + 4 + len)));
                }
            }
            ::close(up);
        }
        ::shutdown(client, SHUT_RDWR);
        ::close(client);
    }
};

RecordingServer::RecordingServer() : m_impl(std::make_unique<Impl>()) {
    Impl* impl = m_impl.get();
    auto route = [impl](const httplib::Request& hreq, httplib::Response& res) {
        CannedResponse answer;
        {
            std::lock_guard lock(impl->mutex);
            const int id = std::atoi(hreq.get_header_value("X-Recording-Id").c_str());
            auto it = impl->pending.find(id);
            if (it != impl->pending.end()) {
                answer = std::move(it->second);
                impl->pending.erase(it);
            }
        }
        if (answer.delay.count() > 0) std::this_thread::sleep_for(answer.delay);
        res.status = answer.status;
        for (const auto& [k, v] : answer.headers) res.set_header(k, v);
        res.set_content(answer.body, answer.contentType);
    };
    impl->backend.Get(".*", route);
    impl->backend.Post(".*", route);
    impl->backend.set_keep_alive_max_count(1);
    impl->backendPort = impl->backend.bind_to_any_port("127.0.0.1");
    if (impl->backendPort <= 0) throw std::runtime_error("cannot bind the test server");
    impl->backendThread = std::thread([impl] { impl->backend.listen_after_bind(); });
    // stop() only ends a server that is already running: a server destroyed before its
    // thread got going would otherwise listen forever and hang the destructor's join.
    for (int waited = 0; !impl->backend.is_running() && waited < 10000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));

    impl->relayFd = listenLoopback(impl->relayPort);
    impl->relayThread = std::thread([impl] {
        while (!impl->stopping) {
            pollfd p{impl->relayFd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const int client = ::accept4(impl->relayFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            std::lock_guard lock(impl->mutex);
            impl->connections.emplace_back([impl, client] { impl->serveConnection(client); });
        }
    });
}

RecordingServer::~RecordingServer() {
    m_impl->stopping = true;
    m_impl->relayThread.join();
    ::close(m_impl->relayFd);
    std::vector<std::thread> conns;
    {
        std::lock_guard lock(m_impl->mutex);
        conns.swap(m_impl->connections);
    }
    for (auto& t : conns) t.join();
    m_impl->backend.stop();
    m_impl->backendThread.join();
}

int RecordingServer::port() const { return m_impl->relayPort; }

std::string RecordingServer::baseUrl() const {
    return "http://127.0.0.1:" + std::to_string(m_impl->relayPort) + "/";
}

void RecordingServer::setResponse(const std::string& path, CannedResponse response) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->responses[path] = std::move(response);
}

void RecordingServer::setBody(const std::string& path, const std::string& body) {
    CannedResponse r;
    r.body = body;
    setResponse(path, std::move(r));
}

void RecordingServer::setHandler(std::function<CannedResponse(const RecordedRequest&)> handler) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->handler = std::move(handler);
}

std::vector<RecordedRequest> RecordingServer::requests() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->recorded;
}

size_t RecordingServer::requestCount() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->recorded.size();
}

RecordedRequest RecordingServer::lastRequest() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->recorded.empty() ? RecordedRequest{} : m_impl->recorded.back();
}

void RecordingServer::clearRequests() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->recorded.clear();
}

}  // namespace smsc::test
