#include "tests/support/TlsServer.h"

#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <stdexcept>
#include <thread>

namespace smsc::test {
namespace {

void addExtension(X509* cert, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (!ext)
        throw std::runtime_error("certificate extension refused: " + value);
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
}

}  // namespace

struct TlsServer::Impl {
    EVP_PKEY* key = nullptr;
    X509* cert = nullptr;
    std::unique_ptr<httplib::SSLServer> server;
    std::thread thread;
    int port = 0;

    ~Impl() {
        if (server)
            server->stop();
        if (thread.joinable())
            thread.join();
        X509_free(cert);
        EVP_PKEY_free(key);
    }
};

TlsServer::TlsServer(const std::string& altNames) : m_impl(std::make_unique<Impl>()) {
    Impl& d = *m_impl;
    d.key = EVP_EC_gen("P-256");
    d.cert = X509_new();
    if (!d.key || !d.cert)
        throw std::runtime_error("no key or certificate");
    X509_set_version(d.cert, 2);
    static std::atomic<long> serial{1};
    ASN1_INTEGER_set(X509_get_serialNumber(d.cert), serial++);
    X509_gmtime_adj(X509_getm_notBefore(d.cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(d.cert), 24 * 3600);
    X509_set_pubkey(d.cert, d.key);
    X509_NAME* name = X509_get_subject_name(d.cert);
    const std::string common = "smsclient test " + altNames;
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(common.c_str()), -1, -1, 0);
    X509_set_issuer_name(d.cert, name);
    addExtension(d.cert, NID_basic_constraints, "critical,CA:TRUE");
    addExtension(d.cert, NID_key_usage, "critical,digitalSignature,keyCertSign");
    addExtension(d.cert, NID_subject_key_identifier, "hash");
    addExtension(d.cert, NID_subject_alt_name, altNames);
    if (X509_sign(d.cert, d.key, EVP_sha256()) <= 0)
        throw std::runtime_error("certificate not signed");

    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, d.cert);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    m_pem.assign(data, static_cast<size_t>(size));
    BIO_free(bio);
    m_pemFile = m_folder.file("server.pem");
    m_folder.writeFile("server.pem", m_pem);

    d.server = std::make_unique<httplib::SSLServer>(d.cert, d.key);
    auto handler = [this](const httplib::Request& request, httplib::Response& response) {
        ++m_requests;
        std::lock_guard lock(m_mutex);
        const auto found = m_bodies.find(request.path);
        if (found == m_bodies.end()) {
            response.status = 404;
            return;
        }
        response.set_content(found->second, "text/plain; charset=gb2312");
    };
    d.server->Get(".*", handler);
    d.server->Post(".*", handler);
    d.port = d.server->bind_to_any_port("127.0.0.1");
    if (d.port <= 0)
        throw std::runtime_error("no loopback port");
    d.thread = std::thread([&d] { d.server->listen_after_bind(); });
}

TlsServer::~TlsServer() {
    m_impl.reset();  // stops the server before the answers it reads go
}

std::string TlsServer::baseUrl() const {
    return "https://127.0.0.1:" + std::to_string(m_impl->port) + "/";
}

void TlsServer::setBody(const std::string& path, const std::string& body) {
    std::lock_guard lock(m_mutex);
    m_bodies[path] = body;
}

}  // namespace smsc::test
