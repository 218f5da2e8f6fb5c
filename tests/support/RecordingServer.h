#pragma once
// A real HTTP server on 127.0.0.1 (ephemeral port) for tests. cpp-httplib answers; a small
// relay in front of it records every request byte for byte (request line, headers and
// body as they came off the socket), because the exact bytes are what the service sees.

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace smsc::test {

struct RecordedRequest {
    std::string raw;      // everything the client sent, head and body
    std::string method;   // "GET", "POST"
    std::string target;   // request target, e.g. "/softweb/login.asp"
    std::string version;  // "HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers;  // in order, as sent
    std::string body;

    // Value of the first header with that name (case-insensitive); empty when absent.
    std::string header(const std::string& name) const;
    bool hasHeader(const std::string& name) const;
};

struct CannedResponse {
    int status = 200;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string contentType = "text/plain; charset=gb2312";
    std::chrono::milliseconds delay{0};  // wait this long before answering
};

class RecordingServer final {
public:
    RecordingServer();
    ~RecordingServer();
    RecordingServer(const RecordingServer&) = delete;
    RecordingServer& operator=(const RecordingServer&) = delete;

    int port() const;
    // "http://127.0.0.1:<port>/"
    std::string baseUrl() const;

    // Answer for one path (e.g. "/softweb/login.asp"); unknown paths get 404.
    void setResponse(const std::string& path, CannedResponse response);
    void setBody(const std::string& path, const std::string& body);
    // Answer every request through this function instead (paths set above still win).
    void setHandler(std::function<CannedResponse(const RecordedRequest&)> handler);

    std::vector<RecordedRequest> requests() const;
    size_t requestCount() const;
    RecordedRequest lastRequest() const;  // empty when there was none
    void clearRequests();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace smsc::test
