#include "recipients/NumberReader.h"

#include <algorithm>
#include <cstring>

#include "recipients/PhoneRules.h"
#include "platform/TextHelpers.h"

namespace smsc {
namespace {

constexpr size_t kMobileLength = 11;
// The most digits a written mobile number holds: 0086 and the 11 digits.
constexpr size_t kMaxDigits = 15;
// More separators than this between two digit groups part them.
constexpr int kMaxGap = 3;

enum class Kind : unsigned char { Other, Digit, Separator, Plus };

struct Char {
    Kind kind;
    char digit;    // '0'..'9' for a digit
    size_t width;  // bytes
};

// The GBK character at `at`. ASCII digits, blanks, dashes and the like are never the second
// byte of a two-byte character, so only the full-width forms need the walk.
inline Char charAt(std::string_view text, size_t at) {
    const unsigned char b = static_cast<unsigned char>(text[at]);
    if (b >= '0' && b <= '9')
        return {Kind::Digit, static_cast<char>(b), 1};
    if (b < 0x80) {
        switch (b) {
            case ' ':
            case '-':
            case '.':
            case '(':
            case ')':
                return {Kind::Separator, 0, 1};
            case '+':
                return {Kind::Plus, 0, 1};
            default:
                return {Kind::Other, 0, 1};
        }
    }
    if (b == 0x80 || b == 0xFF || at + 1 >= text.size())
        return {Kind::Other, 0, 1};
    const unsigned char c = static_cast<unsigned char>(text[at + 1]);
    if (c < 0x40 || c == 0x7F || c == 0xFF)  // no second byte: the first stands alone
        return {Kind::Other, 0, 1};
    if (b == 0xA3) {
        if (c >= 0xB0 && c <= 0xB9)  // "０" to "９"
            return {Kind::Digit, static_cast<char>('0' + (c - 0xB0)), 2};
        if (c == 0xAD || c == 0xA8 || c == 0xA9)  // "－", "（", "）"
            return {Kind::Separator, 0, 2};
        if (c == 0xAB)  // "＋"
            return {Kind::Plus, 0, 2};
    } else if (b == 0xA1 && c == 0xA1) {  // the full-width blank
        return {Kind::Separator, 0, 2};
    }
    return {Kind::Other, 0, 2};
}

// A maximal run of digits; only its first kMaxDigits are kept, its length is the whole run's.
struct Group {
    char digits[kMaxDigits];
    size_t length = 0;

    void add(char digit) {
        if (length < kMaxDigits)
            digits[length] = digit;
        ++length;
    }
};

// Length of a country code glued to the front of a group: 0086 or 86.
size_t gluedCountryCode(const Group& group) {
    if (group.length > 4 && std::memcmp(group.digits, "0086", 4) == 0)
        return 4;
    if (group.length > 2 && std::memcmp(group.digits, "86", 2) == 0)
        return 2;
    return 0;
}

// The ways a number's 11 digits are grouped in writing: 13812345678, 138 12345678,
// 138 1234 5678, 1381234 5678. Other groupings (4-4-3 in particular, the tail of a card
// number written in fours) are not read as numbers.
size_t numberAt(const Group* groups, size_t count, size_t skip, char* number) {
    const size_t first = groups[0].length - skip;
    const auto len = [&](size_t i) { return i < count ? groups[i].length : 0; };
    size_t used = 0;
    if (first == 11)
        used = 1;
    else if (first == 3 && len(1) == 8)
        used = 2;
    else if (first == 3 && len(1) == 4 && len(2) == 4)
        used = 3;
    else if (first == 7 && len(1) == 4)
        used = 2;
    if (used == 0)
        return 0;
    std::memcpy(number, groups[0].digits + skip, first);
    size_t at = first;
    for (size_t i = 1; i < used; ++i) {
        std::memcpy(number + at, groups[i].digits, groups[i].length);
        at += groups[i].length;
    }
    return used;
}

// Whether 11 digits are a mobile number, as the extraction rule has it.
bool isMobile(const char* number) {
    return number[0] == '1' && IsMobileNumberInText(std::string(number, kMobileLength));
}

// Digit groups of one stretch of text joined by separators, decided from the left as soon as
// the next three groups are known (no way of writing a number spans more).
class Finder final {
public:
    explicit Finder(std::vector<std::string>& numbers) : m_numbers(numbers) {}

    void push(const Group& group) {
        m_groups[m_count++] = group;
        if (m_count == kWindow)
            decide();
    }
    void endStretch() {
        while (m_count > 0)
            decide();
    }

private:
    static constexpr size_t kWindow = 3;

    void decide() {
        char number[kMobileLength];
        size_t used = 0;
        if (m_groups[0].length <= kMaxDigits) {
            used = numberAt(m_groups, m_count, 0, number);
            if (used == 0 || !isMobile(number)) {
                const size_t code = gluedCountryCode(m_groups[0]);
                used = code ? numberAt(m_groups, m_count, code, number) : 0;
                if (used != 0 && !isMobile(number))
                    used = 0;
            }
        }
        if (used != 0)
            m_numbers.emplace_back(number, kMobileLength);
        else
            used = 1;
        for (size_t i = used; i < m_count; ++i)
            m_groups[i - used] = m_groups[i];
        m_count -= used;
    }

    std::vector<std::string>& m_numbers;
    Group m_groups[kWindow];
    size_t m_count = 0;
};

}  // namespace

std::optional<std::string> ReadMobileNumber(std::string_view gbk) {
    Group all;
    bool ended = false;  // a blank or control character after the digits
    for (size_t at = 0; at < gbk.size();) {
        const Char c = charAt(gbk, at);
        at += c.width;
        switch (c.kind) {
            case Kind::Digit:
                if (ended || all.length == kMaxDigits)
                    return std::nullopt;
                all.add(c.digit);
                break;
            case Kind::Separator:
                break;
            case Kind::Plus:
                if (all.length != 0)
                    return std::nullopt;
                break;
            case Kind::Other:
                if (static_cast<unsigned char>(gbk[at - 1]) >= 32 || c.width != 1)
                    return std::nullopt;
                ended = all.length != 0;
                break;
        }
    }
    size_t skip = 0;
    if (all.length == kMobileLength + 2 && std::memcmp(all.digits, "86", 2) == 0)
        skip = 2;
    else if (all.length == kMobileLength + 4 && std::memcmp(all.digits, "0086", 4) == 0)
        skip = 4;
    else if (all.length != kMobileLength)
        return std::nullopt;
    std::string number(all.digits + skip, kMobileLength);
    if (!IsMobileNumber(number))
        return std::nullopt;
    return number;
}

std::optional<std::string> ReadTypedNumber(std::string_view gbk) {
    std::string trimmed = TrimBlanks(gbk);
    if (IsDigits1To12(trimmed))
        return trimmed;
    return ReadMobileNumber(gbk);
}

std::vector<std::string> FindMobileNumbers(std::string_view gbk) {
    std::vector<std::string> numbers;
    AppendMobileNumbers(gbk, numbers);
    return numbers;
}

size_t AppendMobileNumbers(std::string_view gbk, std::vector<std::string>& numbers) {
    const size_t before = numbers.size();
    // The commonest entry of a list, 11 ASCII digits and nothing else, is one group the
    // window below would decide alone: a number when the 11 digits are one, else nothing (a
    // country code glued to its front leaves too few digits).
    if (gbk.size() == kMobileLength &&
        std::all_of(gbk.begin(), gbk.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        if (isMobile(gbk.data()))
            numbers.emplace_back(gbk);
        return numbers.size() - before;
    }
    Finder finder(numbers);
    Group group;
    bool inGroup = false;
    int gap = 0;  // separators since the last digit
    for (size_t at = 0; at < gbk.size();) {
        const Char c = charAt(gbk, at);
        at += c.width;
        if (c.kind == Kind::Digit) {
            if (!inGroup) {
                if (gap > kMaxGap)
                    finder.endStretch();
                group.length = 0;
                inGroup = true;
            }
            group.add(c.digit);
            continue;
        }
        if (inGroup) {
            finder.push(group);
            inGroup = false;
            gap = 0;
        }
        if (c.kind == Kind::Other) {
            finder.endStretch();
            gap = 0;
        } else {
            ++gap;
        }
    }
    if (inGroup)
        finder.push(group);
    finder.endStretch();
    return numbers.size() - before;
}

}  // namespace smsc
