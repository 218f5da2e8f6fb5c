#include "recipients/ImportTally.h"

#include <algorithm>
#include <cstdint>

#include "platform/Gbk.h"
#include "recipients/NumberReader.h"

namespace smsc {
namespace {

bool blank(std::string_view line) {
    for (char c : line) {
        if (static_cast<unsigned char>(c) > 32)
            return false;
    }
    return true;
}

// What a text reserves at most in the table of numbers seen (32 MB).
constexpr size_t kReservedNumbers = 2000000;

}  // namespace

void SeenNumbers::reserve(size_t count) {
    size_t size = m_slots.empty() ? 1024 : m_slots.size();
    while (size < (m_count + count + 1) * 2)
        size *= 2;
    if (size == m_slots.size())
        return;
    std::vector<std::uint64_t> old(size, 0);
    old.swap(m_slots);
    m_count = 0;
    for (std::uint64_t key : old)
        if (key != 0)
            insertKey(key);
}

std::uint64_t SeenNumbers::keyOf(std::string_view digits) {
    std::uint64_t key = 0;
    for (char c : digits)
        key = key * 10 + static_cast<std::uint64_t>(c - '0');
    return key * 16 + digits.size();
}

bool SeenNumbers::insert(std::string_view digits) {
    return insertKey(keyOf(digits));
}

void SeenNumbers::prefetchKey(std::uint64_t key) const {
    if (!m_slots.empty())
        __builtin_prefetch(&m_slots[slotOf(key)]);
}

bool SeenNumbers::insertKey(std::uint64_t key) {
    if ((m_count + 1) * 2 > m_slots.size())
        reserve(m_slots.empty() ? 1 : m_slots.size() / 2);
    for (size_t i = slotOf(key);; i = (i + 1) & (m_slots.size() - 1)) {
        if (m_slots[i] == key)
            return false;
        if (m_slots[i] == 0) {
            m_slots[i] = key;
            ++m_count;
            return true;
        }
    }
}

size_t SeenNumbers::slotOf(std::uint64_t key) const {
    key ^= key >> 33;
    key *= 0xff51afd7ed558ccdULL;
    key ^= key >> 33;
    return static_cast<size_t>(key) & (m_slots.size() - 1);
}

void ImportTally::noteUnrecognised(std::string_view line) {
    ++unrecognised;
    if (unrecognisedLines.size() < kListedUnrecognised)
        unrecognisedLines.emplace_back(line);
}

std::string ImportSummary(const ImportTally& tally) {
    return G("读取") + std::to_string(tally.lines) + G("行：添加") + std::to_string(tally.added) +
           G("个，重复") + std::to_string(tally.duplicates) + G("个，无法识别") +
           std::to_string(tally.unrecognised) + G("个");
}

NumbersOfText FindNumbersByLine(std::string_view text) {
    NumbersOfText result;
    SeenNumbers seen;
    result.tally = AppendNumbersByLine(text, seen, result.numbers);
    return result;
}

ImportTally AppendNumbersByLine(std::string_view text, SeenNumbers& seen,
                                std::vector<std::string>& numbers) {
    ImportTally tally;
    // Room for a number a line (a number takes 11 bytes at least, and the room is bounded), so
    // that neither the table nor the list is rebuilt again and again as it fills.
    const auto lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    const size_t expected = std::min({lines, text.size() / 11, kReservedNumbers}) + 1;
    seen.reserve(expected);
    numbers.reserve(numbers.size() + expected);
    const size_t before = numbers.size();
    // The numbers found are appended as they come and their repeats dropped in runs of a few
    // thousand: the run's keys worked out first, then each number's place in the table fetched
    // some numbers ahead, so that the table is read while the numbers before it are decided.
    size_t kept = before;
    std::vector<std::uint64_t> keys;
    const auto dropRepeats = [&] {
        constexpr size_t kAhead = 16;
        const size_t end = numbers.size();
        keys.clear();
        for (size_t i = kept; i < end; ++i)
            keys.push_back(SeenNumbers::keyOf(numbers[i]));
        for (size_t k = 0; k < std::min(keys.size(), kAhead); ++k)
            seen.prefetchKey(keys[k]);
        const size_t first = kept;
        for (size_t i = first; i < end; ++i) {
            const size_t k = i - first;
            if (k + kAhead < keys.size())
                seen.prefetchKey(keys[k + kAhead]);
            if (seen.insertKey(keys[k])) {
                if (kept != i)
                    numbers[kept] = std::move(numbers[i]);
                ++kept;
            } else {
                ++tally.duplicates;
            }
        }
        numbers.resize(kept);
    };
    const char* const data = text.data();
    const size_t size = text.size();
    size_t pos = 0;
    while (pos < size) {
        size_t end = pos;
        while (end < size && data[end] != '\r' && data[end] != '\n')
            ++end;
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + (end + 1 < size && data[end] == '\r' && data[end + 1] == '\n' ? 2 : 1);
        if (blank(line))
            continue;
        ++tally.lines;
        if (AppendMobileNumbers(line, numbers) == 0)
            tally.noteUnrecognised(line);
        if (numbers.size() - kept >= 4096)
            dropRepeats();
    }
    dropRepeats();
    tally.added = static_cast<long long>(numbers.size() - before);
    return tally;
}

long long CountNonBlankLines(std::string_view text) {
    long long lines = 0;
    bool content = false;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            lines += content ? 1 : 0;
            content = false;
        } else if (static_cast<unsigned char>(c) > 32) {
            content = true;
        }
    }
    return lines + (content ? 1 : 0);
}

std::string UnrecognisedLinesFile(const ImportTally& tally) {
    std::string file;
    for (const std::string& line : tally.unrecognisedLines)
        file += line + "\r\n";
    return file;
}

}  // namespace smsc
