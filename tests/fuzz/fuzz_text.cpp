// The text helpers on GBK bytes and the SMS piece plan. The first byte picks the piece
// length and the separator; the rest is the text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "sending/SmsSend.h"
#include "sending/TextHelpers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const int length = data[0] % 80 + 1;
    const std::string separator(1, static_cast<char>("|,*\r\n "[data[0] % 6]));
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    smsc::StripLineBreaks(text);
    smsc::TrimBlanks(text);
    smsc::TextLength(text);
    smsc::LengthCaption(text);
    smsc::SplitByLength(text, length);
    smsc::SplitBySeparator(text, separator);
    smsc::RegexSplit(text, "\\|");
    smsc::RemoveBrackets(text);
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
