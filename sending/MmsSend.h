#pragma once
// The MMS submission without any window: the checks of "发送彩信", the one read of the MMS
// file when the submission runs, and what each answer of "softweb/mms_send.asp" means. The
// MMS page and the command-line sender share it. Texts are GBK; file paths stay native
// (UTF-8 file names) for opening, only the wire carries GBK.

#include <functional>
#include <optional>
#include <string>

namespace smsc {

// The client's own file limit (the service refuses above 45K with code 13).
inline constexpr long long kMaxMmsFileBytes = 51200;
// The title holds at most 30 characters, line breaks not counted.
inline constexpr int kMaxMmsTitleLength = 30;

// Why a submission does not go out, in the order of the checks.
enum class MmsRefusal {
    None,
    VerificationEmpty,    // "验证号码为空，请输入验证号码！"
    VerificationInvalid,  // "请输入正确的验证号码！"
    FileTooLarge,         // "彩信文件文件过大！"
    TooManyRecipients,    // "发送条数不能超过3万"
    NoRecipients,         // "发送条数为0请添加发送对象"
    TitleTooLong,         // "彩信标题内容不能超过30字"
    TitleEmpty,           // "彩信标题内容不能为空"
    NoFile,               // "彩信内容路径为空，请选择彩信文件"
    BadFilePath,          // "彩信文件路径地址不正确"
};

// The message the user sees for a refusal (GBK); empty for None.
std::string MmsRefusalMessage(MmsRefusal refusal);

// What the checks read at the moment "发送彩信" is pressed.
struct MmsSendChecks {
    bool verificationOn = false;
    std::string verificationNumber;  // trimmed
    long long chosenFileSize = 0;    // the file last chosen; 0 before any choice
    long long recipientCount = 0;
    std::string title;     // GBK, line breaks allowed
    std::string filePath;  // the file field, native
};

// The checks in their order; the first that fails.
MmsRefusal CheckMmsSend(const MmsSendChecks& checks);

// Whether the path can name the file part: a '"', CR or LF would break its
// Content-Disposition header line.
bool IsUsableMmsPath(const std::string& path);

// Size of the file at the path in bytes, -1 when there is no regular file there.
long long MmsFileSize(const std::string& path);

// The file read once for the request: its bytes, or BadFilePath (an unusable path, no regular
// file, unreadable) or FileTooLarge (above 51200 bytes; such a file is never read whole).
struct MmsFileBytes {
    MmsRefusal refusal = MmsRefusal::None;
    std::string bytes;
};
MmsFileBytes ReadMmsFile(const std::string& path);

// The message for the answer of "softweb/mms_send.asp" ("\r" is a line break); none for an
// unknown code or an empty answer. A missing argument reads as empty. Code "7" changes the
// quota text as for SMS (QuotaTextOf).
std::optional<std::string> MmsAnswerMessage(const std::string& answer);

// One submission: the file is read, and when that succeeds send(bytes) makes the one request
// and returns the service's answer.
struct MmsSendOutcome {
    MmsRefusal refusal = MmsRefusal::None;  // None: the request was made
    std::string answer;
};
MmsSendOutcome RunMmsSend(const std::string& path,
                          const std::function<std::string(const std::string& bytes)>& send);

// The page's red cost note from the local copy of the notice (Notice_info.ini): the number of
// SMS units one MMS costs, 5 when the copy has none.
std::string LocalCostNote(const std::string& noticeInfoPath);

}  // namespace smsc
