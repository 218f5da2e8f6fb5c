#pragma once
// A real https server on 127.0.0.1 (ephemeral port) for tests, with a self-signed
// certificate made when it starts. The certificate names the hosts given (in the
// subjectAltName form "IP:127.0.0.1,DNS:localhost") and is written as PEM, so that a test
// can name it as a trusted authority.

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "tests/support/TempDataDir.h"

namespace smsc::test {

class TlsServer final {
public:
    explicit TlsServer(const std::string& altNames = "IP:127.0.0.1,DNS:localhost");
    ~TlsServer();
    TlsServer(const TlsServer&) = delete;
    TlsServer& operator=(const TlsServer&) = delete;

    // "https://127.0.0.1:<port>/"
    std::string baseUrl() const;
    // The certificate, PEM.
    const std::string& certificatePem() const { return m_pem; }
    const std::string& certificateFile() const { return m_pemFile; }

    // Answer for one path (e.g. "/softweb/login.asp"); other paths get 404.
    void setBody(const std::string& path, const std::string& body);
    // Requests that reached the server as HTTP (after a completed handshake).
    size_t requestCount() const { return m_requests.load(); }

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    TempFolder m_folder;
    std::string m_pem;
    std::string m_pemFile;
    std::atomic<size_t> m_requests{0};
    mutable std::mutex m_mutex;
    std::map<std::string, std::string> m_bodies;
};

}  // namespace smsc::test
