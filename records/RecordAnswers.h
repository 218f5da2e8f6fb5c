#pragma once
// The answers of the record pages without any window: received messages
// ("softweb/receive.asp"), send records ("softweb/Consumerlog.asp") and sent-number lists
// ("softweb/numberlist.asp"), the export files of the lists, and the name an MMS download is
// saved under. The pages and the command-line sender share it. All texts are GBK.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace smsc {

// What an answer of a record page says.
enum class RecordStatus {
    Listed,      // "4": the data follow
    WrongLogin,  // "1"
    Disabled,    // "2"
    LowBalance,  // "3": the argument is the current balance
    Unknown,     // any other code: no message, nothing listed
    Malformed,   // the answer cannot be read (reported like a failed exchange)
};

// "用户名或者密码错误", "帐户被停用", "余额不足，当前余额为：" + argument; none otherwise.
std::optional<std::string> RecordRefusalMessage(RecordStatus status, const std::string& argument);

// The most one answer is read for: a submission has at most 30000 numbers, the service
// lists at most the latest 500 send records, and no date range of received messages comes
// near 10000. An answer holding more is read up to there (overLimit set), in one pass, so
// that even a small compressed answer that inflates to the size cap costs little more
// memory than its own text.
inline constexpr size_t kMaxListedNumbers = 30000;
inline constexpr size_t kMaxReceivedRecords = 10000;
inline constexpr size_t kMaxSendRecords = 500;
// "服务器返回的记录超过N条，只列出前N条".
std::string RecordOverLimitMessage(size_t limit);
// "服务器返回的号码超过30000个，只列出前30000个".
std::string NumbersOverLimitMessage();

// ---- Received messages ------------------------------------------------------------------

// One record "number*time^text". A record that does not start with a digit, or lacks the
// "*" or the "^" after it, is not matched: it still makes an (empty) row.
struct ReceivedRecord {
    bool matched = false;
    std::string number;  // up to the first "*", trimmed
    std::string time;    // up to the first "^" after it, trimmed
    std::string text;    // the rest, trimmed ("*" and "^" inside stay)
};

// The record pattern ^([\d][\s\S]*?)\*([\s\S]*?)\^([\s\S]*?)$, matched in one linear pass.
ReceivedRecord MatchReceivedRecord(std::string_view record);

struct ReceivedAnswer {
    RecordStatus status = RecordStatus::Unknown;
    std::string argument;
    std::vector<ReceivedRecord> records;  // status Listed: one per "[$$]"
    bool overLimit = false;               // more than kMaxReceivedRecords: the first listed
};

// Split at the first "|"; with "4" the rest split at every "[$$]", every piece but the last
// a record. "4" without "|" and "3" without a balance are malformed.
ReceivedAnswer ParseReceivedAnswer(const std::string& answer);

// The export file: "收到短信记录", then per row time, number, user name and text, each
// followed by two spaces; CR LF line ends.
std::string ReceivedExportBytes(const std::vector<ReceivedRecord>& records,
                                const std::string& userName);
// Same with the "联系人名称" of each row (one per record).
std::string ReceivedExportBytes(const std::vector<ReceivedRecord>& records,
                                const std::vector<std::string>& names);

// ---- Send records -----------------------------------------------------------------------

struct SendRecord {
    std::string id;       // field 0 (hidden column, used by the number list)
    std::string count;    // 1 "号码个数"
    std::string text;     // 2 "短信内容" (the SMS text or the MMS title)
    std::string state;    // 3 "当前状态"
    std::string type;     // 4 "信息类别"; "彩信" for an MMS
    std::string mmsFile;  // 5 "彩信文件名"
    std::string time;     // 6 "提交时间"
};

struct SendRecordsAnswer {
    RecordStatus status = RecordStatus::Unknown;
    std::string argument;
    std::vector<SendRecord> records;
    // A record with fewer than seven fields ended the listing: it is the last record, with
    // only its id; the answer is reported like a failed exchange.
    bool truncated = false;
    bool overLimit = false;  // more than kMaxSendRecords: the first listed
};

SendRecordsAnswer ParseSendRecordsAnswer(const std::string& answer);

// Whether the record can be downloaded: its type is exactly "彩信".
bool IsMmsRecord(const SendRecord& record);

// The part of the service's MMS file name after its last "/" or "\"; empty when nothing
// usable is left (then nothing may be saved).
std::string MmsSaveName(const std::string& serviceFileName);

// ---- Sent-number lists ------------------------------------------------------------------

struct NumberListAnswer {
    RecordStatus status = RecordStatus::Unknown;
    std::string argument;
    std::vector<std::string> numbers;  // fields 1 to n - 2
    bool overLimit = false;            // more than kMaxListedNumbers: the first listed
};

NumberListAnswer ParseNumberListAnswer(const std::string& answer);

// "ID号：" + id, then one number per line; CR LF line ends.
std::string NumberListExportBytes(const std::string& id, const std::vector<std::string>& numbers);

// ---- Files and dates --------------------------------------------------------------------

// The export name: ".txt" appended, always (also to a name already ending in ".txt").
std::string ExportFileName(const std::string& chosenPath);

// The date in this computer's short date format (the C library's "%x" under the user's
// LC_TIME), as GBK. localeName "" means the user's settings.
std::string ShortDateText(int year, int month, int day, const char* localeName = "");

}  // namespace smsc
