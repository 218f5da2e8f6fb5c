#include "recipients/NumberEntries.h"

#include <charconv>

#include "recipients/NumberReader.h"
#include "recipients/PhoneRules.h"

namespace smsc {
namespace {

// Position i is a copy position when i = K * j for the copies j made so far.
bool atCopyPosition(long long i, long long interval, long long copies) {
    return i == interval * copies;
}

}  // namespace

std::optional<long long> ParseWholeNumber(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size() && text[pos] == ' ')
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::string_view digits = text.substr(pos);
    if (digits.empty())
        return std::nullopt;
    long long value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return negative ? -value : value;
}

std::vector<std::string> InterleaveVerification(const std::vector<std::string>& entries,
                                                const VerificationCopy& verification) {
    std::vector<std::string> out;
    const long long interval = verification.interval;
    out.reserve(entries.size() + (interval > 0 ? entries.size() / interval + 1 : 1));
    long long copies = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (atCopyPosition(static_cast<long long>(i), interval, copies)) {
            out.push_back(verification.number);
            ++copies;
        }
        out.push_back(entries[i]);
    }
    return out;
}

EntriesToAdd TypedNumberEntries(const std::vector<std::string>& pieces,
                                const std::optional<VerificationCopy>& verification) {
    EntriesToAdd out;
    out.entries.reserve(pieces.size() + 1);
    const long long count = static_cast<long long>(pieces.size());
    const bool copyFirst = verification && count < verification->interval;
    if (copyFirst) {
        out.entries.push_back(verification->number);
        ++out.steps;
    }
    const bool interleave = verification && !copyFirst;
    long long copies = 0;
    for (long long i = 0; i < count; ++i) {
        ++out.steps;
        std::string piece = TrimBlanks(pieces[static_cast<size_t>(i)]);
        if (piece.empty())
            continue;
        ++out.tally.lines;
        std::optional<std::string> number = ReadTypedNumber(piece);
        if (!number) {
            out.tally.noteUnrecognised(piece);
            continue;
        }
        piece = std::move(*number);
        ++out.tally.added;
        if (interleave && atCopyPosition(i, verification->interval, copies)) {
            ++out.steps;
            out.entries.push_back(verification->number);
            ++copies;
        }
        out.entries.push_back(std::move(piece));
    }
    return out;
}

std::optional<std::vector<std::string>> GenerateNumberRange(const std::string& start,
                                                            const std::string& countText,
                                                            std::optional<char> lastDigit) {
    constexpr size_t kNumberLength = 11;
    const size_t k = countText.size();
    if (start.size() != kNumberLength || k < 1 || k > 4)
        return std::nullopt;
    const std::optional<long long> count = ParseWholeNumber(countText);
    if (!count)
        return std::nullopt;

    const size_t suffixEnd = lastDigit ? kNumberLength - 1 : kNumberLength;
    const std::string prefix = start.substr(0, suffixEnd - k);
    const std::optional<long long> first = ParseWholeNumber(start.substr(suffixEnd - k, k));
    if (!first || *first < 0)
        return std::nullopt;

    long long modulus = 1;
    for (size_t i = 0; i < k; ++i)
        modulus *= 10;

    std::vector<std::string> numbers;
    if (*count > 0)
        numbers.reserve(static_cast<size_t>(*count));
    for (long long n = *first; n < *first + *count; ++n) {
        if (n == *first && lastDigit) {
            numbers.push_back(start);
            continue;
        }
        std::string digits = std::to_string(n % modulus);
        std::string number = prefix;
        number.append(k - digits.size(), '0');
        number += digits;
        if (lastDigit)
            number += *lastDigit;
        numbers.push_back(std::move(number));
    }
    return numbers;
}

}  // namespace smsc
