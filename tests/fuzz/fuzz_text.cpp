// The text helpers on GBK bytes, a text file's bytes taken as GBK, and the SMS piece plan. The first byte picks the piece
// length and the separator; the rest is the text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Gbk.h"
#include "sending/SmsSend.h"
#include "platform/TextHelpers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const int length = data[0] % 80 + 1;
    const std::string separator(1, static_cast<char>("|,*\r\n "[data[0] % 6]));
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string fileText = smsc::TextFileBytesAsGbk(text);
    const bool marked = smsc::HasUtf16Mark(text) || text.rfind("\xEF\xBB\xBF", 0) == 0;
    if (!marked && fileText != text)
        __builtin_trap();  // a file without a mark is taken as it is
    smsc::StripLineBreaks(text);
    smsc::TrimBlanks(text);
    smsc::TextLength(text);
    smsc::LengthCaption(text);
    smsc::SplitByLength(text, length);
    smsc::SplitBySeparator(text, separator);
    smsc::RegexSplit(text, "\\|");
    smsc::RemoveBrackets(text);
    if (smsc::ContainsCharacter(text, '|') != (smsc::SplitBySeparator(text, "|").size() > 1))
        __builtin_trap();  // a "|" that is a character is one the record would split at
    const smsc::SmsPlan plan = smsc::PlanSmsPieces(text);
    if (plan.split)
        for (const std::string& piece : plan.texts)
            if (smsc::TextLength(piece) > smsc::kSmsLength)
                __builtin_trap();  // every piece with its prefix fits one SMS
    smsc::SmsSendResult result;
    result.answers = smsc::SplitBySeparator(text, separator);
    smsc::UnconfirmedPiecesNotice(plan, result);
    return 0;
}
