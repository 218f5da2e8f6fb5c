#include "records/RecordAnswers.h"

#include <langinfo.h>
#include <locale.h>

#include <cstring>
#include <ctime>

#include "platform/Gbk.h"
#include "platform/TextHelpers.h"

namespace smsc {
namespace {

constexpr std::string_view kRecordSeparator = "[$$]";
constexpr std::string_view kFieldSeparator = "[**]";

// Hands every piece of the text that a separator ends to `piece`, in order, up to `limit`
// pieces (the text after the last separator is no piece). Stops early when `piece` returns
// false. Returns false only when a further piece exists beyond the limit.
template <class Piece>
bool ForEachTerminated(std::string_view text, std::string_view separator, size_t limit,
                       Piece&& piece) {
    size_t start = 0;
    for (size_t count = 0;; ++count) {
        const size_t at = text.find(separator, start);
        if (at == std::string_view::npos)
            return true;
        if (count == limit)
            return false;
        if (!piece(text.substr(start, at - start)))
            return true;
        start = at + separator.size();
    }
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

std::string RecordOverLimitMessage(size_t limit) {
    const std::string n = std::to_string(limit);
    return G("服务器返回的记录超过") + n + G("条，只列出前") + n + G("条");
}

std::string NumbersOverLimitMessage() {
    const std::string n = std::to_string(kMaxListedNumbers);
    return G("服务器返回的号码超过") + n + G("个，只列出前") + n + G("个");
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
    result.overLimit = !ForEachTerminated(rest, kRecordSeparator, kMaxReceivedRecords,
                                          [&](std::string_view record) {
                                              result.records.push_back(MatchReceivedRecord(record));
                                              return true;
                                          });
    return result;
}

std::string ReceivedExportBytes(const std::vector<ReceivedRecord>& records,
                                const std::string& userName) {
    return ReceivedExportBytes(records, std::vector<std::string>(records.size(), userName));
}

std::string ReceivedExportBytes(const std::vector<ReceivedRecord>& records,
                                const std::vector<std::string>& names) {
    std::vector<std::string> lines;
    lines.reserve(records.size() + 1);
    lines.push_back(G("收到短信记录"));
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ReceivedRecord& r = records[i];
        const std::string name = r.matched && i < names.size() ? names[i] : std::string();
        lines.push_back(r.time + "  " + r.number + "  " + name + "  " + r.text + "  ");
    }
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
    result.overLimit =
        !ForEachTerminated(rest, kRecordSeparator, kMaxSendRecords, [&](std::string_view record) {
            // The first seven fields; what follows a seventh separator is not read.
            std::string_view f[7];
            size_t count = 0, start = 0;
            while (count < 7) {
                const size_t at = record.find(kFieldSeparator, start);
                f[count++] = record.substr(start, at == std::string_view::npos ? at : at - start);
                if (at == std::string_view::npos)
                    break;
                start = at + kFieldSeparator.size();
            }
            SendRecord& r = result.records.emplace_back();
            r.id = std::string(f[0]);
            if (count < 7) {
                result.truncated = true;
                return false;
            }
            r.count = std::string(f[1]);
            r.text = std::string(f[2]);
            r.state = std::string(f[3]);
            r.type = std::string(f[4]);
            r.mmsFile = std::string(f[5]);
            r.time = std::string(f[6]);
            return true;
        });
    return result;
}

bool IsMmsRecord(const SendRecord& record) {
    static const std::string mms = G("彩信");
    return record.type == mms;
}

std::string MmsSaveName(const std::string& serviceFileName) {
    // The last "/" or "\" found by character: "\" is also the second byte of many GBK
    // characters (淺, 琝 ...), which belong to the name.
    size_t start = 0;
    for (size_t i = 0; i < serviceFileName.size();) {
        const int bytes = GbkCharBytes(serviceFileName, i);
        if (bytes == 1 && (serviceFileName[i] == '/' || serviceFileName[i] == '\\'))
            start = i + 1;
        i += static_cast<size_t>(bytes);
    }
    std::string name = serviceFileName.substr(start);
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
    if (answer.empty()) {
        result.status = RecordStatus::Malformed;
        return result;
    }
    const size_t bar = answer.find('|');
    result.status = StatusOf(answer.substr(0, bar));
    if (bar == std::string::npos) {
        if (result.status == RecordStatus::LowBalance)
            result.status = RecordStatus::Malformed;
        return result;
    }
    const std::string_view rest = std::string_view(answer).substr(bar + 1);
    result.argument = std::string(rest.substr(0, rest.find('|')));
    // Fields 1 to n - 2: every field that a "|" follows.
    if (result.status == RecordStatus::Listed)
        result.overLimit =
            !ForEachTerminated(rest, "|", kMaxListedNumbers, [&](std::string_view number) {
                result.numbers.emplace_back(number);
                return true;
            });
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
