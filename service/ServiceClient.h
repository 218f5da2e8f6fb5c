#pragma once
// The service client: one plain HTTP request per call over libcurl, answered by one text.
// There is no session: every operation is given the user name, password and line at the
// moment it runs, makes exactly one request (no retries) and discards its client.
// All texts are GBK bytes, exactly as they travel on the wire.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace smsc {

// The three base addresses (each an http or https address ending in "/"), from the section
// Service_Url of Company_Info.ini (keys Telecom_Url, Netcom_Url, Download_Url). An https
// address is used only with a server whose certificate and host name check out against the
// system's trusted authorities, and those of the optional PEM file Ca_File (a company's own
// authority; a relative path is taken from the folder of Company_Info.ini).
struct ServiceEndpoints {
    std::string telecomUrl;
    std::string netcomUrl;
    std::string downloadUrl;
    std::string caFile;  // native path; empty: the system's authorities only
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
    // Tests fix the multipart boundary; unset means MakeBoundary(now).
    std::optional<std::string> boundaryOverride;

    std::string baseAddress() const { return BaseAddressFor(endpoints, lineIndex); }
};

// The fixed text that stands for any failed exchange.
const std::string& FailureAnswer();  // "error|连接服务器超时，请检查网络！" (GBK)
const std::string& NetworkFailureMessage();  // "连接服务器超时，请检查网络！" (GBK)

// ---- The pages of the service ------------------------------------------------------------

enum class ServicePage {
    Login,           // softweb/login.asp
    ChangePassword,  // softweb/changepassword.asp
    Send,            // softweb/send1.asp
    MmsSend,         // softweb/mms_send.asp
    Receive,         // softweb/receive.asp
    ConsumerLog,     // softweb/Consumerlog.asp
    NumberList,      // softweb/numberlist.asp
    Notice,          // softweb/message.txt
    Download,        // download address + MMS file name
};

enum class RequestKind { FormPost, MultipartPost, TextGet, Download };

struct PageSpec {
    ServicePage page;
    const char* path;  // under the base address; empty for the download
    RequestKind kind;
    // Form posts: the literal prefixes ("username=", "&password=" ...); multipart posts:
    // the field names, in the order they are sent.
    std::vector<std::string> fields;
    bool referer;  // Referer = base address
    std::chrono::milliseconds readTimeout;
};

// The whole page index, one row per page.
const std::vector<PageSpec>& ServicePages();
const PageSpec& PageSpecFor(ServicePage page);
// The row whose path equals the given page path; nullptr for a page not in the index.
const PageSpec* FindPageSpec(const std::string& path);

// Field text of a form post: each prefix of the page followed by its value, unescaped
// ("username=" + user + "&password=" + password ...). Missing values are empty.
std::string FormFieldText(ServicePage page, const std::vector<std::string>& values);

// ---- One exchange -----------------------------------------------------------------------

struct MultipartFile {
    std::string fieldName;
    std::string path;  // sent as the filename exactly as given
    std::string contentType;
};

// Result of one exchange: ok with the answer body, or a failure (any reason).
struct HttpResult {
    bool ok = false;
    std::string body;
    std::string error;  // for diagnostics only; never shown
};

// One service client with every setting the service expects: HTTP/1.1, the fixed header
// set, a read (inactivity) timeout, no redirects, no proxy, its own cookie store. Create one
// per request and discard it afterwards, so cookies never reach a later request.
class HttpSession final {
public:
    explicit HttpSession(const ServiceContext& context);
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    // Form post of the field text to base address + page, framed by FrameFormBody. Referer
    // and read timeout come from the page index (a page not in it: no Referer, 15000 ms).
    HttpResult formPost(const std::string& page, const std::string& fieldText);
    // multipart/form-data post to base address + page: text fields in order, then the
    // optional file part carrying fileBytes.
    HttpResult multipartPost(const std::string& page,
                             const std::vector<std::pair<std::string, std::string>>& fields,
                             const std::optional<MultipartFile>& file = std::nullopt,
                             const std::string& fileBytes = {});
    // GET of a full address; the body as text or as bytes (the same bytes either way).
    // Without a timeout the general read timeout (15000 ms) applies.
    HttpResult textGet(const std::string& url,
                       std::optional<std::chrono::milliseconds> readTimeout = std::nullopt);
    HttpResult download(const std::string& url,
                        std::optional<std::chrono::milliseconds> readTimeout = std::nullopt);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Form-post framing: the text cut into lines at CR, LF or CR LF (a break at the very end
// ends the last line); one line is the body, several are joined by "&" with a trailing "&";
// then every leading and trailing byte of code 0x20 or lower is removed.
std::string FrameFormBody(const std::string& fieldText);

// The multipart body for the given boundary (without the leading "--"). fileBytes is used
// only with a file part.
std::string BuildMultipartBody(const std::string& boundary,
                               const std::vector<std::pair<std::string, std::string>>& fields,
                               const std::optional<MultipartFile>& file,
                               const std::string& fileBytes);

// "--------" + local time as mmddyyhhnnsszzz.
std::string MakeBoundary(std::chrono::system_clock::time_point now);

// Answer splits: at every "|" (an empty answer gives no fields), and at the first "|" only
// (two fields when there is a "|", else the whole answer as the one field).
std::vector<std::string> SplitAnswer(const std::string& answer);
std::vector<std::string> SplitAnswerOnce(const std::string& answer);

// ---- Where the transfer runs ------------------------------------------------------------

// Runs the transfer of one exchange (client, request, answer) and returns once it has
// ended. Without one installed the transfer runs at once on the calling thread, as the
// command-line sender wants; the windows install one that runs it on a worker thread while
// the window thread keeps painting (service/ExchangeWait.h).
using ExchangeRunner = void (*)(const std::function<void()>& transfer);
// Installs the runner of every later exchange; nullptr restores running at once.
void SetExchangeRunner(ExchangeRunner runner);

// ---- Operations -------------------------------------------------------------------------

// The account and send operations: each returns the service's answer or FailureAnswer().
// A line index other than 0 or 1 (or a missing base address) makes no request at all.
std::string Get_balance(const ServiceContext& ctx, const std::string& user,
                        const std::string& password);
std::string ChangePassword(const ServiceContext& ctx, const std::string& user,
                           const std::string& oldPassword, const std::string& newPassword);
std::string SendMessage(const ServiceContext& ctx, const std::string& user,
                        const std::string& password, const std::string& numbers,
                        const std::string& text);
// filePath is GBK text as the file field shows it: it travels as the filename exactly so,
// and the bytes are read from the same path in the local file-name encoding (UTF-8). The
// title loses its line breaks. A file that cannot be read gives the failure answer.
std::string SendMms(const ServiceContext& ctx, const std::string& user, const std::string& password,
                    const std::string& numbers, const std::string& title,
                    const std::string& filePath);
// The same request with the file's bytes read beforehand: filePath (GBK) only names the file
// on the wire.
std::string SendMms(const ServiceContext& ctx, const std::string& user, const std::string& password,
                    const std::string& numbers, const std::string& title,
                    const std::string& filePath, const std::string& fileBytes);

// Helpers of the record pages and the notice check, which report failures themselves.
// A form post to one of the form pages of the index (base address of the line).
HttpResult PostForm(const ServiceContext& ctx, ServicePage page, const std::string& fieldText);
// Text get of base address + "softweb/message.txt" (6000 ms).
HttpResult FetchNotice(const ServiceContext& ctx);
// Download of download address + file name (15000 ms, no Referer). Bytes of the name that
// cannot stand in an address (controls, space, '#', non-ASCII) are percent-encoded.
HttpResult DownloadFile(const ServiceContext& ctx, const std::string& fileName);
// Whether a service-supplied MMS file name stays below the download address: none of its
// parts between "/" or "\" is "." or "..". DownloadFile refuses any other name.
bool IsDownloadableName(const std::string& fileName);

// The record pages, each one form post of the login fields (and the page's own values) to
// its page; a failed exchange comes back as a failed result.
HttpResult QueryReceived(const ServiceContext& ctx, const std::string& user,
                         const std::string& password, const std::string& startDate,
                         const std::string& endDate);
HttpResult QueryConsumerLog(const ServiceContext& ctx, const std::string& user,
                            const std::string& password);
HttpResult QueryNumberList(const ServiceContext& ctx, const std::string& user,
                           const std::string& password, const std::string& recordId);

}  // namespace smsc
