#pragma once
// What one import took and what it left: lines read, numbers added, repeats and lines in
// which no number was recognised (the first of them kept, for the user to see and save).
// Plain functions on GBK text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace smsc {

// Unrecognised lines kept for the user to see.
inline constexpr size_t kListedUnrecognised = 1000;

struct ImportTally {
    long long lines = 0;                         // non-blank lines (or spreadsheet rows) read
    long long added = 0;                         // numbers handed to the list
    long long duplicates = 0;                    // numbers left out as repeats
    long long unrecognised = 0;                  // lines in which no number was recognised
    std::vector<std::string> unrecognisedLines;  // the first kListedUnrecognised of them

    void noteUnrecognised(std::string_view line);
    bool leftOut() const { return duplicates > 0 || unrecognised > 0; }
};

// "读取N行：添加A个，重复D个，无法识别U个" (GBK).
std::string ImportSummary(const ImportTally& tally);

// The numbers seen so far, each of 1 to 15 digits, as their values and lengths (so "0123" and
// "123" differ) in one flat table.
class SeenNumbers final {
public:
    // Room for this many more numbers before the table grows.
    void reserve(size_t count);
    // True the first time the digits are seen.
    bool insert(std::string_view digits);

    // The same by the digits' key, for a caller that looks many numbers up in a row and
    // works each key out once.
    static std::uint64_t keyOf(std::string_view digits);
    bool insertKey(std::uint64_t key);
    // Starts reading the table where the key goes, for an insert a little later.
    void prefetchKey(std::uint64_t key) const;

private:
    size_t slotOf(std::uint64_t key) const;

    std::vector<std::uint64_t> m_slots;  // 0 marks a free slot
    size_t m_count = 0;
};

// The mobile numbers of a text read line by line (CR LF, LF or CR): each distinct number once,
// in order; a repeat counts as a duplicate; a non-blank line without any number is
// unrecognised. tally.added is the number of distinct numbers.
struct NumbersOfText {
    std::vector<std::string> numbers;
    ImportTally tally;
};
NumbersOfText FindNumbersByLine(std::string_view text);
// The same over several texts: numbers in `seen` already (from an earlier text) are repeats
// too; the new ones are added to `seen` and appended to `numbers`.
ImportTally AppendNumbersByLine(std::string_view text, SeenNumbers& seen,
                                std::vector<std::string>& numbers);

// Lines of the text (ending at CR LF, LF or CR) that hold more than blanks.
long long CountNonBlankLines(std::string_view text);

// The unrecognised lines as a file: GBK, one a line, CR LF.
std::string UnrecognisedLinesFile(const ImportTally& tally);

}  // namespace smsc
