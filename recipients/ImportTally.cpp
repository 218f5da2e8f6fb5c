#include "recipients/ImportTally.h"

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

// The numbers seen so far, as their values, by open addressing (0 marks a free slot: no
// number is 0).
class SeenNumbers final {
public:
    bool insert(std::uint64_t key) {
        if ((m_count + 1) * 2 > m_slots.size())
            grow();
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

private:
    size_t slotOf(std::uint64_t key) const {
        key ^= key >> 33;
        key *= 0xff51afd7ed558ccdULL;
        key ^= key >> 33;
        return static_cast<size_t>(key) & (m_slots.size() - 1);
    }
    void grow() {
        std::vector<std::uint64_t> old(m_slots.empty() ? 1024 : m_slots.size() * 2, 0);
        old.swap(m_slots);
        m_count = 0;
        for (std::uint64_t key : old)
            if (key != 0)
                insert(key);
    }

    std::vector<std::uint64_t> m_slots;
    size_t m_count = 0;
};

}  // namespace

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
    std::vector<std::string> found;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        if (blank(line))
            continue;
        ++result.tally.lines;
        found.clear();
        if (AppendMobileNumbers(line, found) == 0)
            result.tally.noteUnrecognised(line);
        for (std::string& number : found) {
            std::uint64_t key = 0;
            for (char c : number)
                key = key * 10 + static_cast<std::uint64_t>(c - '0');
            if (seen.insert(key))
                result.numbers.push_back(std::move(number));
            else
                ++result.tally.duplicates;
        }
    }
    result.tally.added = static_cast<long long>(result.numbers.size());
    return result;
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
