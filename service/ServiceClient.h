#pragma once
// The service client: one plain HTTP request per call over libcurl, answered by one text.
// There is no session: every operation is given the user name, password and line at the
// moment it runs, makes exactly one request (no retries) and discards its client.

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace smsc {

// The three base addresses (each an http address ending in "/"), from the section
// Service_Url of Company_Info.ini (keys Telecom_Url, Netcom_Url, Download_Url).
struct ServiceEndpoints {
    std::string telecomUrl;
    std::string netcomUrl;
    std::string downloadUrl;
};

// Reads Service_Url from the given Company_Info.ini; missing keys read as empty.
ServiceEndpoints LoadServiceEndpoints(const std::string& companyInfoPath);

// The base address of a line: 0 telecom, 1 netcom, any other index none (empty).
std::string BaseAddressFor(const ServiceEndpoints& endpoints, int lineIndex);

// What every request needs from the login window at the moment it is built.
struct ServiceContext {
    ServiceEndpoints endpoints;
    int lineIndex = -1;
    // Tests shorten the read timeouts of the page index; unset means the page's own.
    std::optional<std::chrono::milliseconds> readTimeoutOverride;

    std::string baseAddress() const { return BaseAddressFor(endpoints, lineIndex); }
};

// The fixed text that stands for any failed exchange.
const std::string& FailureAnswer();            // "error|连接服务器超时，请检查网络！" (GBK)
const std::string& NetworkFailureMessage();    // "连接服务器超时，请检查网络！" (GBK)

struct MultipartFile {
    std::string fieldName;
    std::string path;         // sent as the filename exactly as given; bytes read from it
    std::string contentType;
};

// Result of one exchange: ok with the answer body, or a failure (any reason).
struct HttpResult {
    bool ok = false;
    std::string body;
    std::string error;  // for diagnostics only; never shown
};

// One request with every client setting of the service (see ServiceClient.cpp).
class HttpSession final {
public:
    explicit HttpSession(const ServiceContext& context);
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    // Form post of the field text to base address + page, framed as the service expects.
    HttpResult formPost(const std::string& page, const std::string& fieldText);
    // multipart/form-data post: text fields in order, then the optional file field.
    HttpResult multipartPost(const std::string& page,
                             const std::vector<std::pair<std::string, std::string>>& fields,
                             const std::optional<MultipartFile>& file = std::nullopt);
    HttpResult textGet(const std::string& url);
    HttpResult download(const std::string& url);

private:
    struct Impl;
    Impl* m_impl;
};

// Form-post framing: lines joined by "&" with a trailing "&" when there are several, then
// every leading and trailing byte of code 0x20 or lower removed.
std::string FrameFormBody(const std::string& fieldText);

// The multipart body for the given boundary (without the leading "--").
std::string BuildMultipartBody(const std::string& boundary,
                               const std::vector<std::pair<std::string, std::string>>& fields,
                               const std::optional<MultipartFile>& file,
                               const std::string& fileBytes);

// "--------" + local time as mmddyyhhnnsszzz.
std::string MakeBoundary(std::chrono::system_clock::time_point now);

// Answer splits: at every "|" (an empty answer gives no fields), and at the first "|" only.
std::vector<std::string> SplitAnswer(const std::string& answer);
std::vector<std::string> SplitAnswerOnce(const std::string& answer);

// The account and send operations: each returns the service's answer or FailureAnswer().
std::string Get_balance(const ServiceContext& ctx, const std::string& user,
                        const std::string& password);
std::string ChangePassword(const ServiceContext& ctx, const std::string& user,
                           const std::string& oldPassword, const std::string& newPassword);
std::string SendMessage(const ServiceContext& ctx, const std::string& user,
                        const std::string& password, const std::string& numbers,
                        const std::string& text);
std::string SendMms(const ServiceContext& ctx, const std::string& user,
                    const std::string& password, const std::string& numbers,
                    const std::string& title, const std::string& filePath);

}  // namespace smsc
