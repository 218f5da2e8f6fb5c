// Word and short-link lists and message texts from anywhere: the input is a list file, a NUL
// byte, then a text. Reading and checking never crash, every word found is in the text, and a
// text that is neither blank nor unsendable always has a text to send.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "compliance/Compliance.h"
#include "platform/Gbk.h"

namespace {

std::string lowerAscii(std::string s) {
    for (size_t i = 0; i < s.size();) {
        const int n = smsc::GbkCharBytes(s, i);
        if (n == 1 && s[i] >= 'A' && s[i] <= 'Z')
            s[i] = static_cast<char>(s[i] - 'A' + 'a');
        i += static_cast<size_t>(n);
    }
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const size_t cut = bytes.find('\0');
    const std::string listBytes = bytes.substr(0, cut);
    const std::string text = cut == std::string::npos ? bytes : bytes.substr(cut + 1);

    smsc::ComplianceLists lists;
    lists.words = smsc::WordMatcher(smsc::ParseListFile(listBytes));
    for (const std::string& line : smsc::ParseListFile(listBytes))
        lists.shortLinkHosts.push_back(lowerAscii(line));
    const std::string lowered = lowerAscii(text);
    for (const std::string& word : lists.words.findIn(text))
        if (lowered.find(lowerAscii(word)) == std::string::npos)
            std::abort();

    smsc::CheckContext context;
    context.settings.configured = true;
    context.settings.signature = smsc::G("【星河】");
    context.settings.autoSignature = size % 2 == 0;
    context.settings.autoUnsubscribe = size % 3 == 0;
    context.kind = size % 5 == 0 ? smsc::MessageKind::Marketing : smsc::MessageKind::Notice;
    context.minuteOfDay = static_cast<int>(size % 1440);
    const smsc::ComplianceReport gbk = smsc::CheckSmsGbk(text, context, lists);
    const bool refused = !gbk.findings.empty() &&
                         (gbk.findings[0].rule == "empty" || gbk.findings[0].rule == "unsendable");
    if (refused != gbk.outgoing.empty())
        std::abort();
    (void)smsc::CheckSmsText(text, context, lists);
    (void)smsc::CheckMmsTitle(text, context, lists);
    return 0;
}
