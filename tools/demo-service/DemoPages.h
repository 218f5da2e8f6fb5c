#pragma once
// The answers of the demo service's pages, apart from HTTP: each page function takes the
// request's fields as GBK bytes and returns the answer text the client reads ("7|9000",
// "4|...[$$]") or an HTTP error status for a request the client never makes.

#include "tools/demo-service/DemoStore.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace smsc::demo {

// Service limits.
inline constexpr int kMaxMessageChars = 70;        // SMS text and MMS title
inline constexpr size_t kMaxNumbers = 30000;       // numbers per submission
inline constexpr size_t kMaxMmsBytes = 45 * 1024;  // an MMS file above 45K is refused
inline constexpr int kMaxPasswordChars = 20;
inline constexpr int kConsumerLogLimit = 500;
inline constexpr int kDefaultMmsCost = 5;
inline constexpr const char* kDefaultForbiddenWords = "违禁词,赌博";  // UTF-8

// Fields of a form-post body: split at every "&", each piece at its first "="; values are
// taken literally (the client does not escape them). Pieces without "=" are ignored; the
// first occurrence of a name wins.
using FormFields = std::map<std::string, std::string>;
FormFields ParseFormBody(std::string_view body);

// The numbers of a number string: pieces between "|" and "*" separators, trimmed of blanks
// and tabs, empty pieces dropped.
std::vector<std::string> SplitNumberString(std::string_view numbers);

// A number the service delivers to: 1 to 12 ASCII digits.
bool IsAcceptedNumber(std::string_view number);

// Characters of a GBK text after every CR and LF is removed: one per Chinese character,
// one per ASCII character.
int MessageLength(std::string_view gbk);

// The first word of the list that occurs in the text, compared on character boundaries
// (a word never matches across the halves of two Chinese characters).
std::optional<std::string> FindForbiddenWord(std::string_view gbk,
                                             const std::vector<std::string>& words);

// A date as the client's short date format may write it, as "YYYY-MM-DD"; nullopt when it
// cannot be read. Accepted: year first (2024-01-05, 2024/1/5, 2024.1.5, 2024年1月5日),
// day.month.year with dots, month/day/year with "/" or "-" (day/month/year when the first
// number is above 12); two-digit years are 20yy; a time after the date is ignored.
std::optional<std::string> ParseServiceDate(std::string_view text);

// Extension of an uploaded file name (after the last "\" or "/"), lower case, when it is one
// of the MMS types the service carries; nullopt otherwise.
std::optional<std::string> MmsExtension(std::string_view fileName);

// "mmstosms" of a notice file (name=value lines); the default when missing or not a number
// from 0 to 100000.
int MmsCostFromNotice(std::string_view notice);

// The notice served when no notice file is given: Version=6.8, mmstosms=5, the notice on
// the fourth line. GBK.
std::string BuiltInNotice();

// Comma-separated words (UTF-8, "," or "，") as GBK words; blanks around words dropped.
std::vector<std::string> ParseForbiddenWords(std::string_view utf8List);

struct PageAnswer {
    int httpStatus = 200;
    std::string body;  // the answer text (GBK)
};

struct UploadedFile {
    std::string fileName;  // as the client sent it (a full Windows path)
    std::string bytes;
};

struct PageSettings {
    std::vector<std::string> forbiddenWords;  // GBK
    int mmsCost = kDefaultMmsCost;            // units per number of an MMS
};

class DemoPages final {
public:
    DemoPages(DemoStore& store, PageSettings settings);

    PageAnswer login(std::string_view body);
    PageAnswer changePassword(std::string_view body);
    // Multipart text fields by name.
    PageAnswer sendSms(const std::map<std::string, std::string>& fields);
    PageAnswer sendMms(const std::map<std::string, std::string>& fields,
                       const std::optional<UploadedFile>& file);
    PageAnswer receive(std::string_view body);
    PageAnswer consumerLog(std::string_view body);
    PageAnswer numberList(std::string_view body);

private:
    // The answer "1" (unknown user or wrong password), "2" (disabled) or an HTTP 500 (store
    // unreadable) when the credentials do not admit the user; nullopt when they do.
    std::optional<PageAnswer> refusal(const std::string& user, const std::string& password,
                                      Account* admitted = nullptr);

    DemoStore& m_store;
    PageSettings m_settings;
};

}  // namespace smsc::demo
