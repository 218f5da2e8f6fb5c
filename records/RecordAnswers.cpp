#include "records/RecordAnswers.h"

#include <langinfo.h>
#include <locale.h>

#include <cstring>
#include <ctime>

#include "platform/Gbk.h"
#include "sending/TextHelpers.h"

namespace smsc {
namespace {

constexpr std::string_view kRecordSeparator = "[$$]";
constexpr std::string_view kFieldSeparator = "[**]";

// Split at every occurrence of a literal separator, like RegexSplit with the escaped
// separator: an empty text, or one without the separator, is one item.
std::vector<std::string_view> SplitLiteral(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> items;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        if (at == std::string_view::npos)
            break;
        items.push_back(text.substr(start, at - start));
        start = at + separator.size();
    }
    items.push_back(text.substr(start));
    return items;
}

RecordStatus StatusOf(const std::string& code) {
    if (code == "4")
        return RecordStatus::Listed;
    if (code == "1")
        return RecordStatus::WrongLogin;
    if (code == "2")
        return RecordStatus::Disabled;
    if (code == "3")
        return RecordStatus::LowBalance;
    return RecordStatus::Unknown;
}

// Status and rest, split at the first "|". The data of "4" and the balance of "3" are read
// from the rest, so without a "|" those answers cannot be read.
RecordStatus SplitOnce(const std::string& answer, std::string_view* rest) {
    const size_t bar = answer.find('|');
    const RecordStatus status = StatusOf(answer.substr(0, bar));
    if (bar == std::string::npos) {
        if (status == RecordStatus::Listed || status == RecordStatus::LowBalance)
            return RecordStatus::Malformed;
        *rest = {};
    } else {
        *rest = std::string_view(answer).substr(bar + 1);
    }
    return status;
}

std::string Lines(const std::vector<std::string>& lines) {
    size_t size = 0;
    for (const std::string& line : lines)
        size += line.size() + 2;
    std::string out;
    out.reserve(size);
    for (const std::string& line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

}  // namespace

std::optional<std::string> RecordRefusalMessage(RecordStatus status, const std::string& argument) {
    switch (status) {
        case RecordStatus::WrongLogin:
            return G("用户名或者密码错误");
        case RecordStatus::Disabled:
            return G("帐户被停用");
        case RecordStatus::LowBalance:
            return G("余额不足，当前余额为：") + argument;
        default:
            return std::nullopt;
    }
}

// ---- Received messages ------------------------------------------------------------------

ReceivedRecord MatchReceivedRecord(std::string_view record) {
    ReceivedRecord r;
    // The lazy groups of the pattern stop at the first "*" and the first "^" after it; the
    // "$" may stand before one final line feed, which the trimming removes anyway.
    if (record.empty() || record[0] < '0' || record[0] > '9')
        return r;
    const size_t star = record.find('*');
    if (star == std::string_view::npos)
        return r;
    const size_t caret = record.find('^', star + 1);
    if (caret == std::string_view::npos)
        return r;
    r.matched = true;
    r.number = TrimBlanks(record.substr(0, star));
    r.time = TrimBlanks(record.substr(star + 1, caret - star - 1));
    r.text = TrimBlanks(record.substr(caret + 1));
    return r;
}

ReceivedAnswer ParseReceivedAnswer(const std::string& answer) {
    ReceivedAnswer result;
    std::string_view rest;
    result.status = SplitOnce(answer, &rest);
    if (result.status != RecordStatus::Listed) {
        result.argument = std::string(rest);
        return result;
    }
    const std::vector<std::string_view> pieces = SplitLiteral(rest, kRecordSeparator);
    result.records.reserve(pieces.size() - 1);
    for (size_t i = 0; i + 1 < pieces.size(); ++i)
        result.records.push_back(MatchReceivedRecord(pieces[i]));
    return result;
}

std::string ReceivedExportBytes(const std::vector<ReceivedRecord>& records,
                                const std::string& userName) {
    std::vector<std::string> lines;
    lines.reserve(records.size() + 1);
    lines.push_back(G("收到短信记录"));
    for (const ReceivedRecord& r : records)
        lines.push_back(r.time + "  " + r.number + "  " + (r.matched ? userName : std::string()) +
                        "  " + r.text + "  ");
    return Lines(lines);
}

// ---- Send records -----------------------------------------------------------------------

SendRecordsAnswer ParseSendRecordsAnswer(const std::string& answer) {
    SendRecordsAnswer result;
    std::string_view rest;
    result.status = SplitOnce(answer, &rest);
    if (result.status != RecordStatus::Listed) {
        result.argument = std::string(rest);
        return result;
    }
    const std::vector<std::string_view> pieces = SplitLiteral(rest, kRecordSeparator);
    result.records.reserve(pieces.size() - 1);
    for (size_t i = 0; i + 1 < pieces.size(); ++i) {
        const std::vector<std::string_view> f = SplitLiteral(pieces[i], kFieldSeparator);
        SendRecord& r = result.records.emplace_back();
        r.id = std::string(f[0]);
        if (f.size() < 7) {
            result.truncated = true;
            break;
        }
        r.count = std::string(f[1]);
        r.text = std::string(f[2]);
        r.state = std::string(f[3]);
        r.type = std::string(f[4]);
        r.mmsFile = std::string(f[5]);
        r.time = std::string(f[6]);
    }
    return result;
}

bool IsMmsRecord(const SendRecord& record) {
    static const std::string mms = G("彩信");
    return record.type == mms;
}

std::string MmsSaveName(const std::string& serviceFileName) {
    const size_t slash = serviceFileName.find_last_of("/\\");
    std::string name =
        slash == std::string::npos ? serviceFileName : serviceFileName.substr(slash + 1);
    // A control character (NUL above all) cannot stand in a file name we write.
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20)
            return {};
    if (name == "." || name == "..")
        return {};
    return name;
}

// ---- Sent-number lists ------------------------------------------------------------------

NumberListAnswer ParseNumberListAnswer(const std::string& answer) {
    NumberListAnswer result;
    // Split at every "|": an empty answer has no status to read.
    const std::vector<std::string_view> fields = SplitLiteral(answer, "|");
    if (answer.empty()) {
        result.status = RecordStatus::Malformed;
        return result;
    }
    result.status = StatusOf(std::string(fields[0]));
    if (fields.size() >= 2)
        result.argument = std::string(fields[1]);
    else if (result.status == RecordStatus::LowBalance)
        result.status = RecordStatus::Malformed;
    if (result.status == RecordStatus::Listed && fields.size() >= 3) {
        result.numbers.reserve(fields.size() - 2);
        for (size_t i = 1; i + 1 < fields.size(); ++i)
            result.numbers.emplace_back(fields[i]);
    }
    return result;
}

std::string NumberListExportBytes(const std::string& id, const std::vector<std::string>& numbers) {
    std::string out = G("ID号：") + id + "\r\n";
    size_t size = out.size();
    for (const std::string& n : numbers)
        size += n.size() + 2;
    out.reserve(size);
    for (const std::string& n : numbers) {
        out += n;
        out += "\r\n";
    }
    return out;
}

// ---- Files and dates --------------------------------------------------------------------

std::string ExportFileName(const std::string& chosenPath) {
    return chosenPath + ".txt";
}

std::string ShortDateText(int year, int month, int day, const char* localeName) {
    locale_t loc = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, localeName, static_cast<locale_t>(0));
    if (!loc)
        loc = newlocale(LC_TIME_MASK, localeName, static_cast<locale_t>(0));
    if (!loc)
        loc = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = 12;
    const std::time_t t = timegm(&tm);  // fills in the weekday and the day of the year
    gmtime_r(&t, &tm);
    char buffer[256];
    size_t length = 0;
    bool utf8 = false;
    if (loc) {
        length = strftime_l(buffer, sizeof buffer, "%x", &tm, loc);
        const char* codeset = nl_langinfo_l(CODESET, loc);
        utf8 = codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
        freelocale(loc);
    }
    if (length == 0)
        length = std::strftime(buffer, sizeof buffer, "%m/%d/%y", &tm);
    const std::string text(buffer, length);
    return utf8 ? Utf8ToGbk(text) : text;
}

}  // namespace smsc
