#include "sending/SmsSend.h"

#include <string_view>

#include "platform/Gbk.h"
#include "platform/TextHelpers.h"

namespace smsc {
namespace {

int decimalDigits(int value) {
    int digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

int piecesFor(int length, int pieceLength) {
    return (length + pieceLength - 1) / pieceLength;
}

std::string field(const std::vector<std::string>& fields, size_t index) {
    return index < fields.size() ? fields[index] : std::string();
}

}  // namespace

std::string BuildNumberString(const std::vector<std::string>& entries, bool markVerification,
                              const std::string& verificationNumber) {
    size_t size = 0;
    for (const std::string& entry : entries)
        size += entry.size() + 1;
    std::string out;
    out.reserve(size);
    for (const std::string& entry : entries) {
        out += entry;
        out += markVerification && entry == verificationNumber ? '*' : '|';
    }
    return out;
}

std::string PiecePrefix(int index, int count) {
    static const std::string open = G("（");
    static const std::string close = G("）");
    return open + std::to_string(index) + "/" + std::to_string(count) + close;
}

SmsPlan PlanSmsPieces(const std::string& message) {
    SmsPlan plan;
    const std::string text = StripLineBreaks(message);
    if (FitsOneMessage(message)) {
        plan.texts.push_back(text);
        return plan;
    }
    plan.split = true;
    const int length = TextLength(text);
    // The longest prefix, "（N/N）", has 3 + 2d characters for a count N of d digits. Take the
    // fewest digits d for which pieces of 70 - (3 + 2d) characters need a count of at most
    // d digits; d = 1 is the plain 65-character split.
    int pieceLength = kPieceLength;
    for (int digits = 1;; ++digits) {
        pieceLength = kSmsLength - (3 + 2 * digits);
        if (pieceLength < 1 || decimalDigits(piecesFor(length, pieceLength)) <= digits)
            break;
    }
    if (pieceLength < 1)
        pieceLength = 1;
    plan.pieceLength = pieceLength;
    const std::vector<std::string> pieces = SplitByLength(text, pieceLength);
    const int count = static_cast<int>(pieces.size());
    plan.texts.reserve(pieces.size());
    for (int i = 0; i < count; ++i)
        plan.texts.push_back(PiecePrefix(i + 1, count) + pieces[static_cast<size_t>(i)]);
    return plan;
}

std::string AnswerCode(const std::string& answer) {
    const size_t bar = answer.find('|');
    return bar == std::string::npos ? answer : answer.substr(0, bar);
}

bool StopsAfterPiece(const std::string& code) {
    return code == "1" || code == "2" || code == "4" || code == "5" || code == "6" || code == "8" ||
           code == "9" || code == "error";
}

std::optional<std::string> SendAnswerMessage(const std::string& answer,
                                             const SendAnswerTexts& texts) {
    const std::vector<std::string> fields = SplitBySeparator(answer, "|");
    if (fields.empty())
        return std::nullopt;
    const std::string& code = fields[0];
    const std::string argument = field(fields, 1);
    static const std::string failed = G("发送失败\r");
    if (code == "7")
        return G(texts.success);
    if (code == "1")
        return failed + G("用户名或者密码错误");
    if (code == "2")
        return failed + G("该帐户被停用");
    if (code == "3")
        return G("余额") + argument;
    if (code == "4")
        return failed + G("您的短信余额不足");
    if (code == "5")
        return failed + G("您发送的号码错误");
    if (code == "6")
        return failed + G(texts.wrongContent);
    if (code == "8")
        return failed + G("您发送的号码数超过三万个");
    if (code == "9")
        return failed + G(texts.forbiddenWords) + argument;
    for (const auto& [more, text] : texts.moreCodes)
        if (code == more)
            return failed + G(text);
    if (code == "error")
        return failed + argument;
    return std::nullopt;
}

std::optional<std::string> SmsAnswerMessage(const std::string& answer) {
    static const SendAnswerTexts texts{"恭喜\r短信内容已成功发送到服务器",
                                       "您发送的短信内容错误，内容为空或者超过70个字符",
                                       "您发送的短信内容含有禁发关键词：",
                                       {}};
    return SendAnswerMessage(answer, texts);
}

std::optional<std::string> QuotaTextOf(const std::string& answer) {
    const std::vector<std::string> fields = SplitBySeparator(answer, "|");
    if (fields.size() < 2 || fields[0] != "7")
        return std::nullopt;
    return G("剩余短信") + fields[1] + G("条");
}

const std::string& SmsSendResult::lastAnswer() const {
    static const std::string none;
    return answers.empty() ? none : answers.back();
}

SmsSendResult RunSmsSend(const SmsPlan& plan,
                         const std::function<std::string(const std::string& text)>& send) {
    SmsSendResult result;
    result.answers.reserve(plan.texts.size());
    for (const std::string& text : plan.texts) {
        result.answers.push_back(send(text));
        if (plan.split && StopsAfterPiece(AnswerCode(result.answers.back())))
            break;
    }
    return result;
}

std::optional<std::string> UnconfirmedPiecesNotice(const SmsPlan& plan,
                                                   const SmsSendResult& result) {
    constexpr int kMaxLines = 5;
    if (!plan.split)
        return std::nullopt;
    const std::string count = std::to_string(PieceCount(plan));
    std::string notice;
    int lines = 0;
    for (size_t i = 0; i + 1 < result.answers.size(); ++i) {
        if (AnswerCode(result.answers[i]) == "7")
            continue;
        if (!notice.empty())
            notice += '\r';
        if (++lines > kMaxLines) {
            notice += G("……");
            break;
        }
        notice += G("第") + std::to_string(i + 1) + G("条（共") + count +
                  G("条）未得到服务器确认，请在发送记录中核对");
    }
    if (notice.empty())
        return std::nullopt;
    return notice;
}

}  // namespace smsc
