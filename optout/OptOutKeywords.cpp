#include "optout/OptOutKeywords.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <unordered_set>

#include "optout/OptOutList.h"
#include "platform/Gbk.h"
#include "platform/IniFile.h"
#include "platform/TextHelpers.h"

namespace smsc {
namespace {

std::vector<char32_t> CodePoints(std::string_view utf8) {
    std::vector<char32_t> out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const size_t length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        if (i + length > utf8.size())
            break;
        char32_t cp = length == 1   ? b
                      : length == 2 ? (b & 0x1F)
                      : length == 3 ? (b & 0x0F)
                                    : (b & 0x07);
        for (size_t k = 1; k < length; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        out.push_back(cp);
        i += length;
    }
    return out;
}

bool IsSpace(char32_t cp) {
    return cp <= 0x20 || cp == 0x7F || cp == 0xA0 || cp == 0x3000 || cp == 0xFEFF ||
           u_isUWhiteSpace(static_cast<UChar32>(cp));
}

bool IsPunctuation(char32_t cp) {
    if (cp < 0x80)
        return (cp >= 0x21 && cp <= 0x2F) || (cp >= 0x3A && cp <= 0x40) ||
               (cp >= 0x5B && cp <= 0x60) || (cp >= 0x7B && cp <= 0x7E);
    // The full-width forms of the ASCII signs, and every punctuation mark (。，！…、).
    return (cp >= 0xFF01 && cp <= 0xFF0F) || (cp >= 0xFF1A && cp <= 0xFF20) ||
           (cp >= 0xFF3B && cp <= 0xFF40) || (cp >= 0xFF5B && cp <= 0xFF65) ||
           u_ispunct(static_cast<UChar32>(cp));
}

char32_t Fold(char32_t cp) {
    // Ｔ, ｔ, ０ and their kin.
    if ((cp >= 0xFF10 && cp <= 0xFF19) || (cp >= 0xFF21 && cp <= 0xFF3A) ||
        (cp >= 0xFF41 && cp <= 0xFF5A))
        cp -= 0xFEE0;
    if (cp >= 'a' && cp <= 'z')
        cp -= 'a' - 'A';
    return cp;
}

std::string NormalizeUtf8(std::string_view utf8) {
    std::vector<char32_t> cps = CodePoints(utf8);
    size_t begin = 0;
    while (begin < cps.size() && IsSpace(cps[begin]))
        ++begin;
    size_t end = cps.size();
    while (end > begin && (IsSpace(cps[end - 1]) || IsPunctuation(cps[end - 1])))
        --end;
    std::string out;
    out.reserve(end - begin);
    for (size_t i = begin; i < end; ++i)
        AppendUtf8(out, Fold(cps[i]));
    return out;
}

void AddKeywords(std::vector<std::string>& keywords, std::string_view utf8List) {
    // "，" separates as "," does; the items are compared in their normalized form.
    constexpr std::string_view kWideComma = "\xEF\xBC\x8C";
    size_t begin = 0;
    for (size_t i = 0; i <= utf8List.size(); ++i) {
        size_t separator = 0;
        if (i == utf8List.size() || utf8List[i] == ',')
            separator = 1;
        else if (utf8List.substr(i, kWideComma.size()) == kWideComma)
            separator = kWideComma.size();
        else
            continue;
        std::string keyword = NormalizeUtf8(utf8List.substr(begin, i - begin));
        if (!keyword.empty() &&
            std::find(keywords.begin(), keywords.end(), keyword) == keywords.end())
            keywords.push_back(std::move(keyword));
        i += separator - 1;
        begin = i + 1;
    }
}

}  // namespace

std::string NormalizeReplyText(std::string_view gbkText) {
    return NormalizeUtf8(GbkToUtf8(gbkText));
}

OptOutKeywords::OptOutKeywords() {
    AddKeywords(m_keywords, kDefaultOptOutKeywordsUtf8);
}

OptOutKeywords::OptOutKeywords(std::string_view gbkList) {
    AddKeywords(m_keywords, GbkToUtf8(gbkList));
}

bool OptOutKeywords::matches(std::string_view gbkText) const {
    // A keyword is a word or two; a long text is no keyword, and needs no converting.
    if (gbkText.size() > 256)
        return false;
    const std::string text = NormalizeReplyText(gbkText);
    return !text.empty() &&
           std::find(m_keywords.begin(), m_keywords.end(), text) != m_keywords.end();
}

OptOutSettings ReadOptOutSettings(const std::string& companyInfoPath) {
    OptOutSettings settings;
    const IniFile ini(companyInfoPath);
    if (const std::optional<std::string> list = ini.value("OptOut", "Keywords"))
        settings.keywords = OptOutKeywords(*list);
    if (const std::optional<std::string> autoAdd = ini.value("OptOut", "AutoAdd"))
        settings.autoAdd = TrimBlanks(*autoAdd) != "0";
    return settings;
}

std::string OptOutNumberOfSender(std::string_view sender) {
    std::string trimmed = TrimBlanks(sender);
    for (const char* prefix : {"+86", "86"}) {
        const std::string_view p(prefix);
        if (trimmed.size() == p.size() + 11 && trimmed.compare(0, p.size(), p) == 0 &&
            trimmed[p.size()] == '1') {
            trimmed.erase(0, p.size());
            break;
        }
    }
    return OptOutNumber(trimmed).value_or(std::string());
}

bool IsOptOutRecord(const ReceivedRecord& record, const OptOutKeywords& keywords) {
    return record.matched && keywords.matches(record.text);
}

std::vector<std::string> OptOutNumbersOf(const std::vector<ReceivedRecord>& records,
                                         const OptOutKeywords& keywords) {
    std::vector<std::string> numbers;
    std::unordered_set<std::string> seen;
    for (const ReceivedRecord& record : records) {
        if (!IsOptOutRecord(record, keywords))
            continue;
        std::string number = OptOutNumberOfSender(record.number);
        if (!number.empty() && seen.insert(number).second)
            numbers.push_back(std::move(number));
    }
    return numbers;
}

}  // namespace smsc
