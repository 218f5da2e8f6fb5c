#include "service/ServiceClient.h"

#include <curl/curl.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <exception>
#include <filesystem>
#include <mutex>
#include <string_view>
#include <strings.h>

#include "platform/AtomicFile.h"
#include "platform/Gbk.h"
#include "platform/IniFile.h"

namespace smsc {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const char* const kAccept =
    "image/gif, image/jpeg, image/pjpeg, image/pjpeg,application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, "
    "application/x-ms-application, application/x-ms-xbap, application/vnd.ms-xpsdocument, "
    "application/xaml+xml, application/QVOD, application/QVOD, */*";
const char* const kAcceptCharset = "gb2312;q=0.7,*;q=0.7";
const char* const kAcceptEncoding = "gzip,deflate";
const char* const kUserAgent =
    "Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.2; SV1; .NET CLR 1.1.4322; .NET CLR "
    "2.0.50727)";
const char* const kFormContentType = "application/x-www-form-urlencoded";

constexpr milliseconds kDefaultReadTimeout{15000};
// An answer header line longer than this ends the exchange as a failure.
constexpr size_t kMaxHeaderLine = 16384;
// The longest answers are number lists and MMS files; anything near this is not an answer.
constexpr size_t kMaxAnswerBytes = 64u * 1024u * 1024u;

bool CurlReady() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ready;
}

bool IsHttpAddress(const std::string& url) {
    auto startsWith = [&](const char* prefix) {
        const std::string p(prefix);
        if (url.size() <= p.size())
            return false;
        return std::equal(p.begin(), p.end(), url.begin(), [](char a, char b) {
            return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b);
        });
    };
    return startsWith("http://") || startsWith("https://");
}

bool IsHttpsAddress(const std::string& url) {
    return url.size() > 8 && strncasecmp(url.c_str(), "https://", 8) == 0;
}

// The authorities an https exchange trusts: the system's bundle (libcurl's default) and,
// when named, the extra PEM file. Handing libcurl the extra file alone would replace the
// system's bundle, so both go in one list. Empty when the extra file cannot be read.
std::optional<std::string> TrustedAuthorities(const std::string& extraFile) {
    const std::optional<std::string> extra = ReadWholeFile(extraFile);
    if (!extra || extra->empty())
        return std::nullopt;
    std::string all;
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    if (info && info->cainfo)
        all = ReadWholeFile(info->cainfo).value_or("");
    all += "\n";
    all += *extra;
    return all;
}

HttpResult Failure(std::string why) {
    HttpResult r;
    r.error = std::move(why);
    return r;
}

std::string RemoveLineBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\r' && c != '\n')
            out += c;
    return out;
}

// The answer body as the service sent it, decoded by its Content-Encoding (gzip or deflate)
// as it arrives. A compressed stream must end properly: one cut short would otherwise read
// as a shorter, different answer.
class BodyDecoder {
public:
    ~BodyDecoder() { end(); }

    // From the answer's headers; false for a coding the client never asked for.
    bool setCoding(std::string_view header) {
        end();
        m_coding = Coding::None;
        std::string coding;
        for (char c : header) {
            if (c == ',') {
                if (!addCoding(coding))
                    return false;
                coding.clear();
            } else if (c != ' ' && c != '\t' && c != '\r' && c != '\n') {
                coding += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
            }
        }
        return addCoding(coding);
    }
    void reset() {
        end();
        m_coding = Coding::None;
    }

    // Appends the decoded bytes to out; false on broken data or when out would pass limit.
    bool feed(const char* data, size_t n, std::string& out, size_t limit) {
        if (m_coding == Coding::None) {
            if (out.size() + n > limit)
                return false;
            out.append(data, n);
            return true;
        }
        if (m_finished || n == 0)
            return true;  // bytes after the end of the stream are not part of the answer
        if (!m_started) {
            m_pending.append(data, n);
            if (m_coding == Coding::Deflate && m_pending.size() < 2)
                return true;
            // "deflate" comes with the zlib wrapper or, from some servers, without it.
            const auto b0 = static_cast<unsigned char>(m_pending[0]);
            const auto b1 = static_cast<unsigned char>(m_pending.size() > 1 ? m_pending[1] : 0);
            const bool zlibWrapped = (b0 & 0x0F) == 8 && (b0 * 256 + b1) % 31 == 0;
            const int windowBits = m_coding == Coding::Gzip ? 15 + 32 : (zlibWrapped ? 15 : -15);
            if (inflateInit2(&m_z, windowBits) != Z_OK)
                return false;
            m_started = true;
            const std::string pending = std::move(m_pending);
            m_pending.clear();
            return inflateSome(pending.data(), pending.size(), out, limit);
        }
        return inflateSome(data, n, out, limit);
    }

    // Whether the answer is whole: nothing compressed came, or the stream ended properly.
    bool complete() const {
        return m_coding == Coding::None || m_finished || (!m_started && m_pending.empty());
    }

private:
    enum class Coding { None, Gzip, Deflate };

    bool addCoding(const std::string& coding) {
        if (coding.empty() || coding == "identity")
            return true;
        if (m_coding != Coding::None)
            return false;  // two codings stacked: never asked for
        if (coding == "gzip" || coding == "x-gzip")
            m_coding = Coding::Gzip;
        else if (coding == "deflate")
            m_coding = Coding::Deflate;
        else
            return false;
        return true;
    }

    bool inflateSome(const char* data, size_t n, std::string& out, size_t limit) {
        m_z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        m_z.avail_in = static_cast<uInt>(n);
        char buffer[16384];
        while (m_z.avail_in > 0 && !m_finished) {
            m_z.next_out = reinterpret_cast<Bytef*>(buffer);
            m_z.avail_out = sizeof buffer;
            const int rc = inflate(&m_z, Z_NO_FLUSH);
            if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
                return false;
            const size_t got = sizeof buffer - m_z.avail_out;
            if (out.size() + got > limit)
                return false;
            out.append(buffer, got);
            if (rc == Z_STREAM_END)
                m_finished = true;
            else if (rc == Z_BUF_ERROR && got == 0)
                break;
        }
        return true;
    }

    void end() {
        if (m_started)
            inflateEnd(&m_z);
        m_started = m_finished = false;
        m_pending.clear();
        m_z = z_stream{};
    }

    Coding m_coding = Coding::None;
    z_stream m_z{};
    bool m_started = false;
    bool m_finished = false;
    std::string m_pending;
};

// How one request goes out.
struct Request {
    std::string url;
    const std::string* postBody = nullptr;  // nullptr: GET
    std::string contentType;
    std::string referer;  // empty: none
    milliseconds readTimeout{kDefaultReadTimeout};
};

}  // namespace

// ---- Failure texts ----------------------------------------------------------------------

const std::string& FailureAnswer() {
    static const std::string text = G("error|连接服务器超时，请检查网络！");
    return text;
}

const std::string& NetworkFailureMessage() {
    static const std::string text = G("连接服务器超时，请检查网络！");
    return text;
}

// ---- Addresses --------------------------------------------------------------------------

ServiceEndpoints LoadServiceEndpoints(const std::string& companyInfoPath) {
    IniFile ini(companyInfoPath);
    ini.reload();
    ServiceEndpoints e;
    e.telecomUrl = ini.value("Service_Url", "Telecom_Url").value_or("");
    e.netcomUrl = ini.value("Service_Url", "Netcom_Url").value_or("");
    e.downloadUrl = ini.value("Service_Url", "Download_Url").value_or("");
    // Paths are native (UTF-8); the file's texts are GBK.
    const std::string caFile = GbkToUtf8(ini.value("Service_Url", "Ca_File").value_or(""));
    if (!caFile.empty()) {
        const std::filesystem::path named(caFile);
        e.caFile = named.is_absolute()
                       ? caFile
                       : (std::filesystem::path(companyInfoPath).parent_path() / named).string();
    }
    return e;
}

std::string BaseAddressFor(const ServiceEndpoints& endpoints, int lineIndex) {
    if (lineIndex == 0)
        return endpoints.telecomUrl;
    if (lineIndex == 1)
        return endpoints.netcomUrl;
    return {};
}

// ---- Page index -------------------------------------------------------------------------

const std::vector<PageSpec>& ServicePages() {
    using K = RequestKind;
    using P = ServicePage;
    static const std::vector<PageSpec> pages = {
        {P::Login,
         "softweb/login.asp",
         K::FormPost,
         {"username=", "&password="},
         true,
         milliseconds{6000}},
        {P::ChangePassword,
         "softweb/changepassword.asp",
         K::FormPost,
         {"username=", "&password=", "&newpassword="},
         true,
         milliseconds{5000}},
        {P::Send,
         "softweb/send1.asp",
         K::MultipartPost,
         {"username", "password", "smsnumber", "smscontent"},
         true,
         milliseconds{15000}},
        {P::MmsSend,
         "softweb/mms_send.asp",
         K::MultipartPost,
         {"username", "password", "mms_num", "mmstitle", "mmsfile"},
         false,
         milliseconds{15000}},
        {P::Receive,
         "softweb/receive.asp",
         K::FormPost,
         {"username=", "&password=", "&startime=", "&endtime="},
         true,
         milliseconds{15000}},
        {P::ConsumerLog,
         "softweb/Consumerlog.asp",
         K::FormPost,
         {"username=", "&password="},
         true,
         milliseconds{15000}},
        {P::NumberList,
         "softweb/numberlist.asp",
         K::FormPost,
         {"username=", "&password=", "&id="},
         true,
         milliseconds{15000}},
        {P::Notice, "softweb/message.txt", K::TextGet, {}, false, milliseconds{6000}},
        {P::Download, "", K::Download, {}, false, milliseconds{15000}},
    };
    return pages;
}

const PageSpec& PageSpecFor(ServicePage page) {
    const auto& pages = ServicePages();
    return *std::find_if(pages.begin(), pages.end(),
                         [page](const PageSpec& p) { return p.page == page; });
}

const PageSpec* FindPageSpec(const std::string& path) {
    if (path.empty())
        return nullptr;
    for (const PageSpec& p : ServicePages())
        if (path == p.path)
            return &p;
    return nullptr;
}

std::string FormFieldText(ServicePage page, const std::vector<std::string>& values) {
    const PageSpec& entry = PageSpecFor(page);
    std::string text;
    for (size_t i = 0; i < entry.fields.size(); ++i) {
        text += entry.fields[i];
        if (i < values.size())
            text += values[i];
    }
    return text;
}

// ---- Framing ----------------------------------------------------------------------------

std::string FrameFormBody(const std::string& fieldText) {
    std::vector<std::string> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < fieldText.size()) {
        const char c = fieldText[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        lines.push_back(fieldText.substr(start, i - start));
        i += (c == '\r' && i + 1 < fieldText.size() && fieldText[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
    if (start < fieldText.size())
        lines.push_back(fieldText.substr(start));

    std::string body;
    if (lines.size() == 1) {
        body = lines.front();
    } else {
        for (const std::string& line : lines)
            body += line + '&';
    }
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    const auto first = std::find_if_not(body.begin(), body.end(), blank);
    const auto last = std::find_if_not(body.rbegin(), body.rend(), blank).base();
    return first < last ? std::string(first, last) : std::string();
}

std::string BuildMultipartBody(const std::string& boundary,
                               const std::vector<std::pair<std::string, std::string>>& fields,
                               const std::optional<MultipartFile>& file,
                               const std::string& fileBytes) {
    size_t size = 64 + boundary.size();
    for (const auto& [name, value] : fields)
        size += 64 + boundary.size() + name.size() + value.size();
    if (file)
        size += 160 + boundary.size() + file->path.size() + fileBytes.size();
    std::string body;
    body.reserve(size);
    for (const auto& [name, value] : fields) {
        body += "--";
        body += boundary;
        body += "\r\nContent-Disposition: form-data; name=\"";
        body += name;
        body += "\"\r\n\r\n";
        body += value;
        body += "\r\n";
    }
    if (file) {
        body += "--";
        body += boundary;
        body += "\r\nContent-Disposition: form-data; name=\"";
        body += file->fieldName;
        body += "\"; filename=\"";
        body += file->path;
        body += "\"\r\nContent-Type: ";
        body += file->contentType;
        body += "\r\nContent-Transfer-Encoding: binary\r\n\r\n";
        body += fileBytes;
        body += "\r\n";
    }
    body += "--";
    body += boundary;
    body += "--\r\n";
    return body;
}

std::string MakeBoundary(std::chrono::system_clock::time_point now) {
    using namespace std::chrono;
    const auto sinceEpoch = duration_cast<milliseconds>(now.time_since_epoch());
    auto secs = floor<seconds>(sinceEpoch);
    const auto millis = (sinceEpoch - secs).count();
    const std::time_t t = static_cast<std::time_t>(secs.count());
    std::tm local{};
    localtime_r(&t, &local);
    char text[96];
    std::snprintf(text, sizeof text, "--------%02d%02d%02d%02d%02d%02d%03d", local.tm_mon + 1,
                  local.tm_mday, local.tm_year % 100, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(millis));
    return text;
}

std::vector<std::string> SplitAnswer(const std::string& answer) {
    std::vector<std::string> fields;
    if (answer.empty())
        return fields;
    size_t start = 0;
    for (;;) {
        const size_t bar = answer.find('|', start);
        if (bar == std::string::npos) {
            fields.push_back(answer.substr(start));
            return fields;
        }
        fields.push_back(answer.substr(start, bar - start));
        start = bar + 1;
    }
}

std::vector<std::string> SplitAnswerOnce(const std::string& answer) {
    const size_t bar = answer.find('|');
    if (bar == std::string::npos)
        return {answer};
    return {answer.substr(0, bar), answer.substr(bar + 1)};
}

// ---- The session ------------------------------------------------------------------------

struct HttpSession::Impl {
    ServiceContext ctx;
    CURL* easy = nullptr;

    // State of the running request.
    std::string body;
    bool headerTooLong = false;
    bool answerTooLarge = false;
    bool badCoding = false;
    bool connected = false;
    BodyDecoder decoder;
    Clock::time_point lastActivity;
    curl_off_t lastDown = -1;
    curl_off_t lastUp = -1;

    milliseconds timeoutFor(milliseconds pageTimeout) const {
        return ctx.readTimeoutOverride.value_or(pageTimeout);
    }

    void touch() { lastActivity = Clock::now(); }

    static size_t onHeader(char* data, size_t size, size_t count, void* self) {
        auto* impl = static_cast<Impl*>(self);
        const size_t n = size * count;
        impl->touch();
        if (n > kMaxHeaderLine) {
            impl->headerTooLong = true;
            return 0;
        }
        // Each answer's header block starts with its status line (a 1xx answer has its own).
        const std::string_view line(data, n);
        if (line.starts_with("HTTP/")) {
            impl->decoder.reset();
        } else if (line.size() > 17 && strncasecmp(line.data(), "Content-Encoding:", 17) == 0) {
            if (!impl->decoder.setCoding(line.substr(17))) {
                impl->badCoding = true;
                return 0;
            }
        }
        return n;
    }

    static size_t onBody(char* data, size_t size, size_t count, void* self) {
        auto* impl = static_cast<Impl*>(self);
        const size_t n = size * count;
        impl->touch();
        if (!impl->decoder.feed(data, n, impl->body, kMaxAnswerBytes)) {
            impl->answerTooLarge = true;  // over the limit once decoded, or broken data
            return 0;
        }
        return n;
    }

    static int onProgress(void* self, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
        auto* impl = static_cast<Impl*>(self);
        if (down != impl->lastDown || up != impl->lastUp) {
            impl->lastDown = down;
            impl->lastUp = up;
            impl->touch();
        }
        return 0;
    }

    // Called once the connection stands, right before the request goes out: from here on
    // the read timeout runs. Connecting itself has no limit but the system's.
    static int onConnected(void* self, char*, char*, int, int) {
        auto* impl = static_cast<Impl*>(self);
        impl->connected = true;
        impl->touch();
        return CURL_PREREQFUNC_OK;
    }

    HttpResult perform(const Request& req) {
        if (!IsHttpAddress(req.url))
            return Failure("no service address");
        if (!easy)
            return Failure("no HTTP client");

        body.clear();
        headerTooLong = answerTooLarge = badCoding = connected = false;
        decoder.reset();
        lastDown = lastUp = -1;
        touch();

        curl_easy_reset(easy);  // keeps this client's cookies
        curl_slist* headers = nullptr;
        headers = curl_slist_append(headers, "Connection: keep-alive");
        headers = curl_slist_append(headers, (std::string("Accept: ") + kAccept).c_str());
        headers =
            curl_slist_append(headers, (std::string("Accept-Charset: ") + kAcceptCharset).c_str());
        if (req.postBody) {
            headers = curl_slist_append(headers, ("Content-Type: " + req.contentType).c_str());
            headers = curl_slist_append(headers, "Expect:");
        }

        curl_easy_setopt(easy, CURLOPT_URL, req.url.c_str());
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(easy, CURLOPT_USERAGENT, kUserAgent);
        // The header goes out as always; the answer is decoded here (BodyDecoder).
        curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, kAcceptEncoding);
        curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
        if (!req.referer.empty())
            curl_easy_setopt(easy, CURLOPT_REFERER, req.referer.c_str());
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
        curl_easy_setopt(easy, CURLOPT_PROXY, "");
        curl_easy_setopt(easy, CURLOPT_NOPROXY, "*");
        // https: the certificate and the host name are checked (libcurl's defaults); a
        // server that fails the check gets nothing, the password least of all.
        std::optional<std::string> authorities;
        if (IsHttpsAddress(req.url) && !ctx.endpoints.caFile.empty()) {
            authorities = TrustedAuthorities(ctx.endpoints.caFile);
            if (!authorities) {
                curl_slist_free_all(headers);
                return Failure("trusted authorities file unreadable: " + ctx.endpoints.caFile);
            }
            curl_blob blob{authorities->data(), authorities->size(), CURL_BLOB_COPY};
            curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
        }
        if (req.postBody) {
            curl_easy_setopt(easy, CURLOPT_POST, 1L);
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(req.postBody->size()));
            curl_easy_setopt(easy, CURLOPT_POSTFIELDS, req.postBody->data());
        } else {
            curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
        }
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Impl::onHeader);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::onBody);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Impl::onProgress);
        curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &Impl::onConnected);
        curl_easy_setopt(easy, CURLOPT_PREREQDATA, this);

        HttpResult result = transfer(req.readTimeout);
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
        curl_slist_free_all(headers);
        return result;
    }

    // Runs the transfer, ending it when nothing has moved for the read timeout, or when the
    // whole exchange has taken four read timeouts (a server that keeps it alive with a byte
    // now and then).
    HttpResult transfer(milliseconds readTimeout) {
        const Clock::time_point deadline = Clock::now() + 4 * readTimeout;
        CURLM* multi = curl_multi_init();
        if (!multi)
            return Failure("no HTTP client");
        curl_multi_add_handle(multi, easy);
        bool timedOut = false;
        CURLMcode mc = CURLM_OK;
        for (;;) {
            int running = 0;
            mc = curl_multi_perform(multi, &running);
            if (mc != CURLM_OK || running == 0)
                break;
            const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                timedOut = true;
                break;
            }
            int waitMs = static_cast<int>(std::min<long long>(1000, left.count()));
            if (connected) {
                const auto idle =
                    std::chrono::duration_cast<milliseconds>(Clock::now() - lastActivity);
                if (idle >= readTimeout) {
                    timedOut = true;
                    break;
                }
                waitMs = std::min(waitMs, static_cast<int>((readTimeout - idle).count()));
            }
            curl_multi_poll(multi, nullptr, 0, std::max(waitMs, 1), nullptr);
        }
        CURLcode code = CURLE_OK;
        bool finished = false;
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
                code = msg->data.result;
                finished = true;
            }
        }
        curl_multi_remove_handle(multi, easy);
        curl_multi_cleanup(multi);

        if (timedOut)
            return Failure("read timeout");
        if (mc != CURLM_OK)
            return Failure(curl_multi_strerror(mc));
        if (headerTooLong)
            return Failure("answer header line too long");
        if (badCoding)
            return Failure("answer in a content coding never asked for");
        if (answerTooLarge)
            return Failure("answer too large or its compressed data broken");
        if (!finished)
            return Failure("transfer did not finish");
        if (code != CURLE_OK)
            return Failure(curl_easy_strerror(code));
        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        // Redirects are not followed: a 3xx, like any status outside 2xx, is a failure.
        if (status < 200 || status > 299)
            return Failure("HTTP status " + std::to_string(status));
        if (!decoder.complete())
            return Failure("compressed answer cut short");
        HttpResult ok;
        ok.ok = true;
        ok.body = std::move(body);
        body.clear();
        return ok;
    }

    Request pageRequest(const std::string& page) const {
        Request req;
        const std::string base = ctx.baseAddress();
        req.url = base + page;
        const PageSpec* entry = FindPageSpec(page);
        if (entry && entry->referer)
            req.referer = base;
        req.readTimeout = timeoutFor(entry ? entry->readTimeout : kDefaultReadTimeout);
        return req;
    }
};

HttpSession::HttpSession(const ServiceContext& context) : m_impl(std::make_unique<Impl>()) {
    m_impl->ctx = context;
    if (CurlReady())
        m_impl->easy = curl_easy_init();
}

HttpSession::~HttpSession() {
    if (m_impl->easy)
        curl_easy_cleanup(m_impl->easy);
}

HttpResult HttpSession::formPost(const std::string& page, const std::string& fieldText) {
    Request req = m_impl->pageRequest(page);
    const std::string body = FrameFormBody(fieldText);
    req.postBody = &body;
    req.contentType = kFormContentType;
    return m_impl->perform(req);
}

HttpResult HttpSession::multipartPost(
    const std::string& page, const std::vector<std::pair<std::string, std::string>>& fields,
    const std::optional<MultipartFile>& file, const std::string& fileBytes) {
    Request req = m_impl->pageRequest(page);
    std::string boundary;
    if (m_impl->ctx.boundaryOverride) {
        boundary = *m_impl->ctx.boundaryOverride;
    } else {
        // The boundary is a time stamp; should a value happen to hold it, take the next
        // millisecond rather than send a body the service would cut apart.
        auto now = std::chrono::system_clock::now();
        auto collides = [&](const std::string& b) {
            const std::string marker = "--" + b;
            if (fileBytes.find(marker) != std::string::npos)
                return true;
            return std::any_of(fields.begin(), fields.end(), [&](const auto& f) {
                return f.second.find(marker) != std::string::npos;
            });
        };
        boundary = MakeBoundary(now);
        for (int i = 0; i < 1000 && collides(boundary); ++i) {
            now += std::chrono::milliseconds(1);
            boundary = MakeBoundary(now);
        }
    }
    const std::string body = BuildMultipartBody(boundary, fields, file, fileBytes);
    req.postBody = &body;
    req.contentType = "multipart/form-data; boundary=" + boundary;
    return m_impl->perform(req);
}

HttpResult HttpSession::textGet(const std::string& url,
                                std::optional<std::chrono::milliseconds> readTimeout) {
    Request req;
    req.url = url;
    req.readTimeout = m_impl->timeoutFor(readTimeout.value_or(kDefaultReadTimeout));
    return m_impl->perform(req);
}

HttpResult HttpSession::download(const std::string& url,
                                 std::optional<std::chrono::milliseconds> readTimeout) {
    return textGet(url, readTimeout);
}

// ---- Operations -------------------------------------------------------------------------

namespace {

std::atomic<ExchangeRunner> g_runner{nullptr};

void RunTransfer(const std::function<void()>& transfer) {
    if (const ExchangeRunner runner = g_runner.load())
        runner(transfer);
    else
        transfer();
}

// Runs one exchange on a fresh client, turning every failure (an exception included) into
// the failure answer.
template <typename Exchange>
std::string AnswerOrFailure(const ServiceContext& ctx, Exchange&& exchange) {
    if (ctx.baseAddress().empty())
        return FailureAnswer();
    std::string answer = FailureAnswer();
    RunTransfer([&] {
        try {
            HttpSession session(ctx);
            HttpResult r = exchange(session);
            if (r.ok)
                answer = std::move(r.body);
        } catch (const std::exception&) {
        }
    });
    return answer;
}

template <typename Exchange>
HttpResult ResultOrFailure(const ServiceContext& ctx, Exchange&& exchange) {
    HttpResult result;
    RunTransfer([&] {
        try {
            HttpSession session(ctx);
            result = exchange(session);
        } catch (const std::exception& e) {
            result = Failure(e.what());
        }
    });
    return result;
}

// The name as one run of path segments: every byte of a double-byte character, controls,
// space and bytes from 0x7F on, and "#", "?" and "%" (which would end the path, start a
// query or be decoded by the service into something else) are percent-encoded.
std::string PercentEncodeName(const std::string& name) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    auto encode = [&](unsigned char b) {
        out += '%';
        out += hex[b >> 4];
        out += hex[b & 0x0F];
    };
    for (size_t i = 0; i < name.size();) {
        const auto b = static_cast<unsigned char>(name[i]);
        const int bytes = b >= 0x80 ? GbkCharBytes(name, i) : 1;
        if (bytes == 2) {
            encode(b);
            encode(static_cast<unsigned char>(name[i + 1]));
        } else if (b <= 0x20 || b >= 0x7F || b == '#' || b == '?' || b == '%') {
            encode(b);
        } else {
            out += name[i];
        }
        i += static_cast<size_t>(bytes);
    }
    return out;
}

}  // namespace

void SetExchangeRunner(ExchangeRunner runner) {
    g_runner.store(runner);
}

std::string Get_balance(const ServiceContext& ctx, const std::string& user,
                        const std::string& password) {
    return AnswerOrFailure(ctx, [&](HttpSession& s) {
        return s.formPost(PageSpecFor(ServicePage::Login).path,
                          FormFieldText(ServicePage::Login, {user, password}));
    });
}

std::string ChangePassword(const ServiceContext& ctx, const std::string& user,
                           const std::string& oldPassword, const std::string& newPassword) {
    return AnswerOrFailure(ctx, [&](HttpSession& s) {
        return s.formPost(
            PageSpecFor(ServicePage::ChangePassword).path,
            FormFieldText(ServicePage::ChangePassword, {user, oldPassword, newPassword}));
    });
}

std::string SendMessage(const ServiceContext& ctx, const std::string& user,
                        const std::string& password, const std::string& numbers,
                        const std::string& text) {
    const PageSpec& page = PageSpecFor(ServicePage::Send);
    return AnswerOrFailure(ctx, [&](HttpSession& s) {
        return s.multipartPost(page.path, {{page.fields[0], user},
                                           {page.fields[1], password},
                                           {page.fields[2], numbers},
                                           {page.fields[3], text}});
    });
}

std::string SendMms(const ServiceContext& ctx, const std::string& user, const std::string& password,
                    const std::string& numbers, const std::string& title,
                    const std::string& filePath) {
    const std::optional<std::string> bytes = ReadWholeFile(GbkToUtf8(filePath));
    if (!bytes)
        return FailureAnswer();
    return SendMms(ctx, user, password, numbers, title, filePath, *bytes);
}

std::string SendMms(const ServiceContext& ctx, const std::string& user, const std::string& password,
                    const std::string& numbers, const std::string& title,
                    const std::string& filePath, const std::string& fileBytes) {
    const PageSpec& page = PageSpecFor(ServicePage::MmsSend);
    return AnswerOrFailure(ctx, [&](HttpSession& s) {
        MultipartFile file{page.fields[4], filePath, "application/octet-stream"};
        return s.multipartPost(page.path,
                               {{page.fields[0], user},
                                {page.fields[1], password},
                                {page.fields[2], numbers},
                                {page.fields[3], RemoveLineBreaks(title)}},
                               file, fileBytes);
    });
}

HttpResult PostForm(const ServiceContext& ctx, ServicePage page, const std::string& fieldText) {
    const PageSpec& entry = PageSpecFor(page);
    if (entry.kind != RequestKind::FormPost)
        return Failure("not a form page");
    return ResultOrFailure(ctx, [&](HttpSession& s) { return s.formPost(entry.path, fieldText); });
}

HttpResult FetchNotice(const ServiceContext& ctx) {
    const PageSpec& entry = PageSpecFor(ServicePage::Notice);
    const std::string base = ctx.baseAddress();
    if (base.empty())
        return Failure("no service address");
    return ResultOrFailure(
        ctx, [&](HttpSession& s) { return s.textGet(base + entry.path, entry.readTimeout); });
}

bool IsDownloadableName(const std::string& fileName) {
    // Parts between "/" and "\" (found by character: "\" is also the second byte of many
    // GBK characters); a "." or ".." part would be resolved away by the HTTP library or
    // the service and lead out of the download folder.
    size_t partStart = 0;
    auto dotPart = [&](size_t end) {
        const std::string_view part(fileName.data() + partStart, end - partStart);
        return part == "." || part == "..";
    };
    for (size_t i = 0; i < fileName.size();) {
        const int bytes = GbkCharBytes(fileName, i);
        if (bytes == 1 && (fileName[i] == '/' || fileName[i] == '\\')) {
            if (dotPart(i))
                return false;
            partStart = i + 1;
        }
        i += static_cast<size_t>(bytes);
    }
    return !dotPart(fileName.size());
}

HttpResult DownloadFile(const ServiceContext& ctx, const std::string& fileName) {
    const PageSpec& entry = PageSpecFor(ServicePage::Download);
    if (ctx.endpoints.downloadUrl.empty())
        return Failure("no download address");
    if (!IsDownloadableName(fileName))
        return Failure("file name leaves the download address");
    return ResultOrFailure(ctx, [&](HttpSession& s) {
        return s.download(ctx.endpoints.downloadUrl + PercentEncodeName(fileName),
                          entry.readTimeout);
    });
}

HttpResult QueryReceived(const ServiceContext& ctx, const std::string& user,
                         const std::string& password, const std::string& startDate,
                         const std::string& endDate) {
    return PostForm(ctx, ServicePage::Receive,
                    FormFieldText(ServicePage::Receive, {user, password, startDate, endDate}));
}

HttpResult QueryConsumerLog(const ServiceContext& ctx, const std::string& user,
                            const std::string& password) {
    return PostForm(ctx, ServicePage::ConsumerLog,
                    FormFieldText(ServicePage::ConsumerLog, {user, password}));
}

HttpResult QueryNumberList(const ServiceContext& ctx, const std::string& user,
                           const std::string& password, const std::string& recordId) {
    return PostForm(ctx, ServicePage::NumberList,
                    FormFieldText(ServicePage::NumberList, {user, password, recordId}));
}

}  // namespace smsc
