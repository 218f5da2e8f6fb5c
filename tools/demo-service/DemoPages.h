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
// and tabs, empty pieces dropped. Splitting stops after maxPieces numbers, so a huge field
// costs no more than the check that refuses it.
std::vector<std::string> SplitNumberString(std::string_view numbers,
                                           size_t maxPieces = kMaxNumbers + 1);

// A number the service delivers to: 1 to 12 ASCII digits.
bool IsAcceptedNumber(std::string_view number);

// Characters of a GBK text after every CR and LF is removed: one per Chinese character,
// one per ASCII character.
int MessageLength(std::string_view gbk);

// The first word of the list that occurs in the text, compared on character boundaries
// (a word never matches across the halves of two Chinese characters).
std::optional<std::string> FindForbiddenWord(std::string_view gbk,
                                             const std::vector<std::string>& words);

// The order of day, month and year in an all-number date whose year is not written first.
enum class DateOrder { Dmy, Mdy, Ymd };
// The order of the POSIX locale ("%m/%d/%y"), taken when the host's format names none.
inline constexpr DateOrder kFallbackDateOrder = DateOrder::Mdy;

// The order of a C library date format (nl_langinfo(D_FMT): "%d.%m.%Y", "%Y年%m月%d日",
// "%D"...); nullopt when it does not name day, month and year.
std::optional<DateOrder> DateOrderFromFormat(std::string_view dateFormat);
// "dmy", "mdy" or "ymd".
std::optional<DateOrder> DateOrderNamed(std::string_view name);
const char* DateOrderName(DateOrder order);

// A date as the client's short date format may write it, as "YYYY-MM-DD"; nullopt when it
// cannot be read. Accepted: a four-digit year first (2024-01-05, 2024/1/5, 2024. 01. 05.,
// 2024年1月5日); an English month name or abbreviation (5 Jan 2024, Jan 5, 2024,
// 05-Jan-24); numbers separated by "/", "-" or "." with optional blanks and a final ".",
// read in the host's order (a four-digit year last: day and month by the order, year-first
// orders reading day first). When a year-last reading is no date, day and month are
// swapped (25/12/2024 on a month-first host). Years have two (20yy) or four digits; a time
// after the date, after a blank, is ignored.
std::optional<std::string> ParseServiceDate(std::string_view text, DateOrder order);

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

// Why a forbidden-word list cannot be served (UTF-8), or empty when it can. The word goes
// out in the answer "9|word", which the client cuts at every "|": a word holding "|", or a
// Chinese character whose second byte is "|" (0x7C, as in "東" 96 7C), would reach the user
// cut short. A word GBK cannot carry would be matched as "?".
std::string ForbiddenWordsProblem(std::string_view utf8List);

// Warnings (UTF-8) about a notice file the client will misread: the client shows the value
// of the fourth line as the notice, whatever its name, and reads the file as GBK. The
// service still serves such a file (a test of the client may want exactly that).
std::vector<std::string> NoticeFileWarnings(std::string_view notice);

struct PageAnswer {
    int httpStatus = 200;
    std::string body;  // the answer text (GBK)
};

struct UploadedFile {
    std::string fileName;  // as the client sent it (a full Windows path)
    std::string bytes;
};

struct PageSettings {
    std::vector<std::string> forbiddenWords;   // GBK
    int mmsCost = kDefaultMmsCost;             // units per number of an MMS
    DateOrder dateOrder = kFallbackDateOrder;  // of receive.asp's dates
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
