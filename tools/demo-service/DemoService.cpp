#include "tools/demo-service/DemoService.h"

#include <httplib.h>
#include <sys/socket.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <filesystem>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace smsc::demo {
namespace {

static_assert(kMaxFormBodyBytes == CPPHTTPLIB_FORM_URL_ENCODED_PAYLOAD_MAX_LENGTH);

const char* const kPageType = "text/html; charset=gb2312";
const char* const kNoticeType = "text/plain; charset=gb2312";

void Reply(httplib::Response& res, const PageAnswer& answer) {
    res.status = answer.httpStatus;
    if (answer.httpStatus == 200)
        res.set_content(answer.body, kPageType);
}

// A page handler that turns any escaping exception into a 500 answer.
httplib::Server::Handler Guarded(
    std::function<void(const httplib::Request&, httplib::Response&)> fn) {
    return [fn = std::move(fn)](const httplib::Request& req, httplib::Response& res) {
        try {
            fn(req, res);
        } catch (...) {
            res.status = 500;
        }
    };
}

}  // namespace

// Ends connections that take too long to send a request's header. The HTTP library's read
// timeout counts from one received byte to the next, so a client sending a header byte now
// and then would keep a worker for ever; enough such clients stop the service answering.
//
// A connection's time starts when a worker takes it, not when it is accepted: one that
// waited in the queue behind busy workers still gets its whole deadline. And while
// connections wait for a worker, one that has held its worker for longer than a short grace
// without delivering a request header (a slow sender, or an idle kept-alive connection) is
// ended, so that slow senders cannot keep the others waiting for a whole deadline.
//
// The library hands a new connection to its task queue without naming its socket, so the
// queue finds it: the one connected socket on the service's port it does not know yet (the
// listening thread accepts and queues one connection at a time). Each watched socket is
// held through a duplicate until its task ends, so that its number (and identity) cannot
// pass to a later connection while it is watched.
class ConnectionWatchdog {
public:
    explicit ConnectionWatchdog(std::chrono::milliseconds headerDeadline)
        : m_header(headerDeadline),
          m_grace(
              std::min(headerDeadline, std::max<std::chrono::milliseconds>(
                                           std::chrono::milliseconds(250), headerDeadline / 10))),
          m_thread([this] { run(); }) {}
    ~ConnectionWatchdog() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
        for (const auto& [inode, entry] : m_watched)
            ::close(entry.watch);
    }
    void setPort(int port) { m_port = port; }

    // On the listening thread, right after a connection was accepted: its socket's inode
    // (0 when it was not found). It waits for a worker; its time has not begun.
    ino_t adoptNewConnection() {
        std::lock_guard lock(m_mutex);
        ++m_waiting;
        ino_t adopted = 0;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
            int fd = -1;
            const std::string name = entry.path().filename().string();
            std::from_chars(name.data(), name.data() + name.size(), fd);
            struct stat info {};
            if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISSOCK(info.st_mode) ||
                m_watched.count(info.st_ino))
                continue;
            sockaddr_in local{}, peer{};
            socklen_t localSize = sizeof local, peerSize = sizeof peer;
            if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) != 0 ||
                local.sin_family != AF_INET || ntohs(local.sin_port) != m_port ||
                ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0)
                continue;
            const int watch = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
            if (watch < 0)
                continue;
            m_watched[info.st_ino] = {watch, State::Queued, {}, {}};
            adopted = info.st_ino;
        }
        return adopted;
    }
    // On the worker thread: its connection has delivered a request header, so the body and
    // the answer get a longer deadline.
    void headerReceived() {
        std::lock_guard lock(m_mutex);
        if (const auto it = m_watched.find(t_current); it != m_watched.end()) {
            it->second.state = State::Busy;
            it->second.deadline = Clock::now() + kRequestDeadlineFactor * m_header;
        }
    }
    // On the worker thread, once an answer is written: the next request's header is due.
    void answered() {
        std::lock_guard lock(m_mutex);
        if (const auto it = m_watched.find(t_current); it != m_watched.end())
            awaitHeader(it->second);
    }
    // Runs a connection's task on the worker thread; its header is due from now on.
    void serve(ino_t inode, const std::function<void()>& task) {
        {
            std::lock_guard lock(m_mutex);
            --m_waiting;
            if (const auto it = m_watched.find(inode); it != m_watched.end())
                awaitHeader(it->second);
        }
        t_current = inode;
        task();
        t_current = 0;
        std::lock_guard lock(m_mutex);
        if (const auto it = m_watched.find(inode); it != m_watched.end()) {
            ::close(it->second.watch);
            m_watched.erase(it);
        }
    }

private:
    using Clock = std::chrono::steady_clock;
    enum class State { Queued, AwaitingHeader, Busy };
    struct Watched {
        int watch;
        State state;
        Clock::time_point since;     // AwaitingHeader: since when
        Clock::time_point deadline;  // not Queued: when it is ended
    };

    void awaitHeader(Watched& entry) const {
        entry.state = State::AwaitingHeader;
        entry.since = Clock::now();
        entry.deadline = entry.since + m_header;
    }

    void run() {
        std::unique_lock lock(m_mutex);
        while (!m_stop) {
            m_wake.wait_for(lock, std::min<std::chrono::milliseconds>(
                                      m_grace / 4, std::chrono::milliseconds(250)));
            const auto now = Clock::now();
            for (const auto& [inode, entry] : m_watched) {
                if (entry.state == State::Queued)
                    continue;
                bool end = entry.deadline <= now;
                // Others wait for a worker: a connection idle past the grace gives its own up,
                // unless bytes of a request have just arrived.
                if (!end && m_waiting > 0 && entry.state == State::AwaitingHeader &&
                    now - entry.since >= m_grace) {
                    char byte;
                    end = ::recv(entry.watch, &byte, 1, MSG_PEEK | MSG_DONTWAIT) <= 0;
                }
                if (end)
                    ::shutdown(entry.watch, SHUT_RDWR);  // the worker's next read ends
            }
        }
    }

    const std::chrono::milliseconds m_header;
    const std::chrono::milliseconds m_grace;
    int m_port = 0;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    int m_waiting = 0;  // connections queued for a worker
    std::map<ino_t, Watched> m_watched;
    static thread_local ino_t t_current;
    std::thread m_thread;
};

thread_local ino_t ConnectionWatchdog::t_current = 0;

namespace {

// The library listens with a backlog of 5: clients connecting at once beyond that would
// have their connections dropped by the kernel and retried seconds later.
class ServiceHttpServer final : public httplib::Server {
public:
    void widenBacklog() {
        if (svr_sock_ != INVALID_SOCKET)
            ::listen(svr_sock_, SOMAXCONN);
    }
};

class WatchedQueue final : public httplib::TaskQueue {
public:
    WatchedQueue(ConnectionWatchdog& watchdog, int workers)
        : m_watchdog(watchdog), m_pool(static_cast<size_t>(workers)) {}
    void enqueue(std::function<void()> fn) override {
        const ino_t inode = m_watchdog.adoptNewConnection();
        m_pool.enqueue([this, inode, fn = std::move(fn)] { m_watchdog.serve(inode, fn); });
    }
    void shutdown() override { m_pool.shutdown(); }

private:
    ConnectionWatchdog& m_watchdog;
    httplib::ThreadPool m_pool;
};

}  // namespace

struct DemoService::Runner {
    std::thread thread;
};

DemoService::DemoService(ServiceOptions options) : m_options(std::move(options)) {}

DemoService::~DemoService() {
    stop();
}

bool DemoService::start(int port, std::string* error) {
    if (m_server) {
        if (error)
            *error = "already started";
        return false;
    }
    std::string storeError;
    m_store = DemoStore::Open(m_options.dataDir, &storeError);
    if (!m_store) {
        if (error)
            *error = storeError;
        return false;
    }
    m_pages = std::make_unique<DemoPages>(
        *m_store, PageSettings{m_options.forbiddenWords, MmsCostFromNotice(m_options.notice),
                               m_options.dateOrder});

    m_watchdog = std::make_unique<ConnectionWatchdog>(m_options.headerDeadline);
    m_server = std::make_unique<ServiceHttpServer>();
    m_server->new_task_queue = [watchdog = m_watchdog.get(), workers = m_options.workers] {
        return new WatchedQueue(*watchdog, workers);
    };
    m_server->set_payload_max_length(m_options.maxBodyBytes);
    // The library checks that limit against Content-Length only: a chunked body, one read
    // until the connection closes, or a compressed one (inflated while it is read) would
    // grow without bound. The client always sends a plain body with its length.
    m_server->set_pre_routing_handler(
        [watchdog = m_watchdog.get()](const httplib::Request& req, httplib::Response& res) {
            watchdog->headerReceived();
            // No ranges, anywhere: the library would build a multi-range answer in memory,
            // one copy of the content per range asked for. Every answer is sent whole. (The
            // request is the library's own, not a const object; only its parsed ranges go.)
            const_cast<httplib::Request&>(req).ranges.clear();
            if (req.method != "POST")
                return httplib::Server::HandlerResponse::Unhandled;
            if (req.has_header("Transfer-Encoding") || !req.has_header("Content-Length"))
                res.status = 411;
            else if (req.has_header("Content-Encoding") &&
                     req.get_header_value("Content-Encoding") != "identity")
                res.status = 415;
            else
                return httplib::Server::HandlerResponse::Unhandled;
            return httplib::Server::HandlerResponse::Handled;
        });
    // Address reuse for quick restarts, but not port sharing: a second service on a taken
    // port must fail instead of silently splitting the traffic.
    m_server->set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    m_server->set_logger(
        [watchdog = m_watchdog.get()](const httplib::Request&, const httplib::Response&) {
            watchdog->answered();
        });
    installRoutes();

    int bound = -1;
    if (port == 0) {
        bound = m_server->bind_to_any_port("127.0.0.1");
    } else if (port > 0 && port < 65536 && m_server->bind_to_port("127.0.0.1", port)) {
        bound = port;
    }
    if (bound <= 0) {
        if (error)
            *error = "cannot listen on 127.0.0.1:" + std::to_string(port);
        m_server.reset();
        m_watchdog.reset();
        m_pages.reset();
        m_store.reset();
        return false;
    }
    m_port = bound;
    static_cast<ServiceHttpServer&>(*m_server).widenBacklog();
    m_watchdog->setPort(bound);
    m_runner = std::make_unique<Runner>();
    m_runner->thread = std::thread([server = m_server.get()] { server->listen_after_bind(); });
    // stop() is only safe once the accept loop runs; the socket already queues clients.
    for (int i = 0; i < 5000 && !m_server->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void DemoService::stop() {
    if (!m_server)
        return;
    m_server->stop();
    if (m_runner && m_runner->thread.joinable())
        m_runner->thread.join();
    m_runner.reset();
    m_server.reset();
    m_watchdog.reset();
    m_pages.reset();
    m_store.reset();
}

bool DemoService::running() const {
    return m_server && m_server->is_running();
}

std::string DemoService::baseUrl() const {
    return "http://127.0.0.1:" + std::to_string(m_port) + "/";
}

void DemoService::installRoutes() {
    httplib::Server& s = *m_server;
    DemoPages& pages = *m_pages;

    s.Post("/softweb/login.asp",
           Guarded([&pages](const auto& req, auto& res) { Reply(res, pages.login(req.body)); }));
    s.Post("/softweb/changepassword.asp", Guarded([&pages](const auto& req, auto& res) {
               Reply(res, pages.changePassword(req.body));
           }));
    s.Post("/softweb/receive.asp",
           Guarded([&pages](const auto& req, auto& res) { Reply(res, pages.receive(req.body)); }));
    s.Post("/softweb/Consumerlog.asp", Guarded([&pages](const auto& req, auto& res) {
               Reply(res, pages.consumerLog(req.body));
           }));
    s.Post("/softweb/numberlist.asp", Guarded([&pages](const auto& req, auto& res) {
               Reply(res, pages.numberList(req.body));
           }));

    // The send pages are multipart posts; the parser hands over each part's bytes as sent.
    auto parts = [](const httplib::Request& req, std::map<std::string, std::string>& fields,
                    std::optional<UploadedFile>& file) {
        for (const auto& [name, part] : req.files) {
            if (name == "mmsfile") {
                if (!file)
                    file = UploadedFile{part.filename, part.content};
            } else {
                fields.emplace(name, part.content);
            }
        }
    };
    s.Post("/softweb/send1.asp", Guarded([&pages, parts](const auto& req, auto& res) {
               if (!req.is_multipart_form_data())
                   return Reply(res, {400, {}});
               std::map<std::string, std::string> fields;
               std::optional<UploadedFile> file;
               parts(req, fields, file);
               Reply(res, pages.sendSms(fields));
           }));
    s.Post("/softweb/mms_send.asp", Guarded([&pages, parts](const auto& req, auto& res) {
               if (!req.is_multipart_form_data())
                   return Reply(res, {400, {}});
               std::map<std::string, std::string> fields;
               std::optional<UploadedFile> file;
               parts(req, fields, file);
               Reply(res, pages.sendMms(fields, file));
           }));

    s.Get("/softweb/message.txt", Guarded([notice = m_options.notice](const auto&, auto& res) {
              res.set_content(notice, kNoticeType);
          }));
    s.Get(R"(/mms/([^/]+))", Guarded([store = m_store.get()](const auto& req, auto& res) {
              auto bytes = store->mmsFileData(req.matches[1].str());
              if (!bytes) {
                  res.status = 404;
                  return;
              }
              res.set_content(*bytes, "application/octet-stream");
          }));

    s.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty())
            res.set_content("HTTP " + std::to_string(res.status), "text/plain");
    });
}

}  // namespace smsc::demo
