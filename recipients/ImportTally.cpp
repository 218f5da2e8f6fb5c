#include "recipients/ImportTally.h"

#include <unordered_set>

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
    std::unordered_set<std::string> seen;
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
        std::vector<std::string> found = FindMobileNumbers(line);
        if (found.empty())
            result.tally.noteUnrecognised(line);
        for (std::string& number : found) {
            if (seen.insert(number).second)
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
