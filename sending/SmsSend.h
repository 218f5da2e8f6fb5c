#pragma once
// The SMS submission without any window: the number string, the pieces of a long message,
// the loop of requests and what each answer means. The send page and the command-line
// sender share it. All texts are GBK.

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace smsc {

// One SMS holds 70 characters; a long message goes out in pieces of 65 behind "（i/N）".
inline constexpr int kSmsLength = 70;
inline constexpr int kPieceLength = 65;

// Every entry in list order followed by "|", or by "*" when the verification option is on
// and the entry equals the (trimmed) verification number exactly. The last entry is followed
// by its separator too.
std::string BuildNumberString(const std::vector<std::string>& entries, bool markVerification,
                              const std::string& verificationNumber);

// "（" + index + "/" + count + "）", full-width parentheses and an ASCII slash.
std::string PiecePrefix(int index, int count);

// What goes to the service for one message text.
struct SmsPlan {
    bool split = false;              // false: one SMS, the text without line breaks
    int pieceLength = 0;             // characters per piece (without the prefix) when split
    std::vector<std::string> texts;  // one per request, prefixes included
};

// One SMS when the text fits (FitsOneMessage); otherwise the line-break-free text cut into
// pieces, each behind its prefix. Pieces hold 65 characters while the message needs at most
// 9 of them; beyond that the prefix grows ("（10/12）" has 7 characters), so the pieces are
// shortened until every piece with its prefix stays within 70 characters.
SmsPlan PlanSmsPieces(const std::string& message);

// The number of pieces the split question names (1 for one SMS).
inline int PieceCount(const SmsPlan& plan) {
    return static_cast<int>(plan.texts.size());
}

// The answer's status (field 0); empty for an empty answer.
std::string AnswerCode(const std::string& answer);

// Whether a refusal in this answer ends a long message: "1", "2", "4", "5", "6", "8", "9"
// and "error" do; "7", "3" and unknown codes let the next piece follow.
bool StopsAfterPiece(const std::string& code);

// The texts in which the answers of the SMS and the MMS page differ (UTF-8); every other
// code reads the same on both.
struct SendAnswerTexts {
    const char* success;         // "7"
    const char* wrongContent;    // "6"
    const char* forbiddenWords;  // "9", followed by the words the service names
    std::vector<std::pair<const char*, const char*>> moreCodes;  // code → text after "发送失败\r"
};

// The message for an answer of a send page with these texts ("\r" is a line break); none for
// an unknown code or an empty answer. A missing argument reads as empty.
std::optional<std::string> SendAnswerMessage(const std::string& answer,
                                             const SendAnswerTexts& texts);

// The message the user sees for the last answer ("\r" is a line break); none for an unknown
// code or an empty answer. A missing argument reads as empty.
std::optional<std::string> SmsAnswerMessage(const std::string& answer);

// "剩余短信" + remaining quota + "条" for an answer "7|quota"; none for anything else.
std::optional<std::string> QuotaTextOf(const std::string& answer);

struct SmsSendResult {
    std::vector<std::string> answers;  // one per request made, in order
    const std::string& lastAnswer() const;
};

// The requests of one submission: send(text) is called for each text of the plan in order
// and returns the service's answer; a stopping code ends the loop.
SmsSendResult RunSmsSend(const SmsPlan& plan,
                         const std::function<std::string(const std::string& text)>& send);

// For a split message: one line "第" + i + "条（共N条）未得到服务器确认，请在发送记录中核对"
// for each piece before the last answered one whose answer was not "7" (at most 5 lines,
// then "……"), lines joined by "\r"; none when every earlier piece was confirmed. The last
// answer has its own message.
std::optional<std::string> UnconfirmedPiecesNotice(const SmsPlan& plan,
                                                   const SmsSendResult& result);

}  // namespace smsc
