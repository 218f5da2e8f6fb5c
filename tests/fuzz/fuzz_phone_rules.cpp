// The phone-number rules and the number reader over any bytes. The reader must find the same
// numbers whichever way the plain 11-digit numbers of the text are written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "recipients/NumberReader.h"
#include "recipients/PhoneRules.h"

namespace {

bool asciiDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string formatted(const std::string& n, unsigned style) {
    const std::string a = n.substr(0, 3), b = n.substr(3, 4), c = n.substr(7);
    switch (style % 8) {
        case 0:
            return a + " " + b + " " + c;
        case 1:
            return "+86 " + a + "-" + b + "-" + c;
        case 2:
            return "(0086)" + n;
        case 3: {
            std::string wide;
            for (char d : n)
                wide += std::string("\xA3") + static_cast<char>(0xB0 + (d - '0'));
            return wide;
        }
        case 4:
            return "+86" + n;
        case 5:
            return a + "." + b + "." + c;
        case 6:
            return a + b + " " + c;
        default:
            return a + "-" + b + c;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    smsc::IsDigits1To12(text);
    smsc::IsMobileNumber(text);
    smsc::IsSegmentChinaMobile(text);
    smsc::IsSegmentChinaUnicom(text);
    smsc::IsSegmentChinaTelecom(text);
    smsc::IsSegmentChinaBroadnet(text);
    smsc::ExtractMobileNumbers(text);
    smsc::SplitLinesUnique(text, "\r\n");
    smsc::SplitLinesUnique(text, ",");
    smsc::ReadMobileNumber(text);

    // Rewrite every plain mobile number standing between ASCII non-digits in the style the
    // first byte picks, after a comma: no byte before it pairs with a full-width digit, and
    // no digits before it are read together with its groups.
    const unsigned style = size ? data[0] : 0;
    const std::vector<std::string> plain = smsc::FindMobileNumbers(text);
    std::string rewritten;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = at;
        while (end < text.size() && asciiDigit(text[end]))
            ++end;
        if (end == at) {
            rewritten += text[at++];
            continue;
        }
        const std::string run = text.substr(at, end - at);
        const bool asciiBefore = at == 0 || static_cast<unsigned char>(text[at - 1]) < 0x80;
        const bool asciiAfter = end == text.size() || static_cast<unsigned char>(text[end]) < 0x80;
        if (run.size() == 11 && asciiBefore && asciiAfter && smsc::IsMobileNumberInText(run))
            rewritten += "," + formatted(run, style);
        else
            rewritten += run;
        at = end;
    }
    if (smsc::FindMobileNumbers(rewritten) != plain)
        std::abort();
    // One number written any of these ways is read as itself.
    if (size >= 12) {
        const std::string number(text.data() + 1, 11);
        if (smsc::IsMobileNumber(number) &&
            smsc::ReadMobileNumber(formatted(number, style)).value_or("") != number)
            std::abort();
    }
    return 0;
}
