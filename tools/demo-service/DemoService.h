#pragma once
// The demo service: an HTTP server on 127.0.0.1 answering the pages of the bulk-messaging
// service ("softweb/login.asp" ... "softweb/message.txt") and the MMS downloads under
// "/mms/". It runs on its own threads between start() and stop().

#include "tools/demo-service/DemoPages.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace httplib {
class Server;
}

namespace smsc::demo {

class ConnectionWatchdog;

inline constexpr int kDefaultPort = 18068;
// The largest request body: 30000 numbers of up to 12 digits with their separators (390 KB),
// a 45K MMS file and the other fields fit many times over. Form posts are capped at 8192
// bytes by the HTTP library whatever this says.
inline constexpr size_t kDefaultMaxBodyBytes = 4u * 1024 * 1024;
// The HTTP library's own cap on form posts (application/x-www-form-urlencoded).
inline constexpr size_t kMaxFormBodyBytes = 8192;

// Requests answered at once; more connections wait for a free worker.
inline constexpr int kServiceWorkers = 128;
inline constexpr int kRequestDeadlineFactor = 6;

struct ServiceOptions {
    std::string dataDir;                   // existing folder of the SQLite file
    std::string notice = BuiltInNotice();  // bytes served as softweb/message.txt
    std::vector<std::string> forbiddenWords = ParseForbiddenWords(kDefaultForbiddenWords);  // GBK
    size_t maxBodyBytes = kDefaultMaxBodyBytes;
    DateOrder dateOrder = kFallbackDateOrder;  // the host's, read once by the program
    // A connection must deliver each request's header within this time, counted from when
    // a worker takes it (and, on a kept connection, from the last answer); it then has
    // kRequestDeadlineFactor times as long for the body and the answer.
    std::chrono::milliseconds headerDeadline{10000};
    int workers = kServiceWorkers;
};

class DemoService final {
public:
    explicit DemoService(ServiceOptions options);
    ~DemoService();  // stops
    DemoService(const DemoService&) = delete;
    DemoService& operator=(const DemoService&) = delete;

    // Opens the store, binds 127.0.0.1:port (0 picks a free port) and starts answering.
    // False with *error set when the store cannot be opened or the port not bound.
    bool start(int port, std::string* error);
    void stop();
    bool running() const;
    int port() const { return m_port; }
    // "http://127.0.0.1:<port>/"
    std::string baseUrl() const;
    // The store the pages use (for tests and the admin command); null before start().
    DemoStore* store() const { return m_store.get(); }

private:
    void installRoutes();

    ServiceOptions m_options;
    std::unique_ptr<DemoStore> m_store;
    std::unique_ptr<DemoPages> m_pages;
    std::unique_ptr<httplib::Server> m_server;
    struct Runner;
    std::unique_ptr<Runner> m_runner;
    std::unique_ptr<ConnectionWatchdog> m_watchdog;
    int m_port = 0;
};

}  // namespace smsc::demo
