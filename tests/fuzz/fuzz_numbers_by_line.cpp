// The numbers of a text read line by line, against a plain reading of the same text: lines
// cut at CR LF, LF or CR, each non-blank line's numbers found on their own, repeats dropped
// with a set. Read in two parts sharing the numbers seen, the text gives the same numbers.
// An input starting with "R" is followed by 5,000 more lines of numbers, many of them
// repeats, so that the reading drops repeats in more than one run.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "recipients/ImportTally.h"
#include "recipients/NumberReader.h"

namespace {

struct Reading {
    std::vector<std::string> numbers;
    long long lines = 0;
    long long duplicates = 0;
    long long unrecognised = 0;
};

Reading plainReading(std::string_view text) {
    Reading r;
    std::set<std::string> seen;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
        bool blank = true;
        for (char c : line)
            blank = blank && static_cast<unsigned char>(c) <= 32;
        if (blank)
            continue;
        ++r.lines;
        const std::vector<std::string> found = smsc::FindMobileNumbers(line);
        if (found.empty())
            ++r.unrecognised;
        for (const std::string& n : found) {
            if (seen.insert(n).second)
                r.numbers.push_back(n);
            else
                ++r.duplicates;
        }
    }
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    if (size > 0 && data[0] == 'R') {
        unsigned seed = size > 1 ? data[1] : 1;
        for (int i = 0; i < 5000; ++i) {
            seed = seed * 1103515245u + 12345u;
            text += "\r\n139" + std::to_string(10000000 + (seed >> 8) % 3000);
        }
    }
    const smsc::NumbersOfText found = smsc::FindNumbersByLine(text);
    const Reading plain = plainReading(text);
    if (found.numbers != plain.numbers || found.tally.lines != plain.lines ||
        found.tally.duplicates != plain.duplicates ||
        found.tally.unrecognised != plain.unrecognised ||
        found.tally.added != static_cast<long long>(plain.numbers.size()))
        std::abort();

    // In two parts, cut after a line break: the second part's repeats of the first are
    // repeats all the same.
    const size_t cut = text.find('\n', text.size() / 2);
    if (cut != std::string::npos) {
        smsc::SeenNumbers seen;
        std::vector<std::string> numbers;
        const smsc::ImportTally first =
            smsc::AppendNumbersByLine(std::string_view(text).substr(0, cut + 1), seen, numbers);
        const smsc::ImportTally second =
            smsc::AppendNumbersByLine(std::string_view(text).substr(cut + 1), seen, numbers);
        if (numbers != plain.numbers || first.duplicates + second.duplicates != plain.duplicates)
            std::abort();
    }
    return 0;
}
