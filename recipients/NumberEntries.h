#pragma once
// What the number dialogs and the imports add to a recipient list, apart from any window:
// the verification-number interleaving, the typed-numbers rule and the generated number
// runs. Plain functions on GBK text.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "recipients/ImportTally.h"
#include "platform/TextHelpers.h"  // TrimBlanks

namespace smsc {

// The recipient cap: one import run adds at most this many entries, and a send refuses
// more recipients than this.
inline constexpr int kRecipientCap = 30000;

// A whole number as the interval and count fields are read: blanks in front, an optional
// sign and decimal digits, nothing after. nullopt for anything else (empty, "1 0", "abc",
// out of range).
std::optional<long long> ParseWholeNumber(std::string_view text);

// A page's verification option while it is ticked: the trimmed number and the interval K.
struct VerificationCopy {
    std::string number;
    long long interval = 0;
};

// One copy of the verification number at the head of every block of K entries: before the
// entries at positions 0, K, 2K ... (once, first, when there are fewer than K). An interval
// below 1 gives the single copy in front.
std::vector<std::string> InterleaveVerification(const std::vector<std::string>& entries,
                                                const VerificationCopy& verification);

// What an add action appends, and how many progress steps it takes.
struct EntriesToAdd {
    std::vector<std::string> entries;
    long long steps = 0;
    ImportTally tally;  // non-blank pieces, pieces added, pieces not recognised
};

// Typed numbers: the pieces of the typed text; a piece whose trimmed text has 1 to 12
// digits is added trimmed, one that is a mobile number written otherwise ("+86 138 1234
// 5678") as its 11 digits. With the verification option, a copy goes first when there are
// fewer pieces than K; otherwise a copy goes in front of a valid piece at position K * j
// (j the copies so far), so an invalid piece at such a position skips every later copy.
EntriesToAdd TypedNumberEntries(const std::vector<std::string>& pieces,
                                const std::optional<VerificationCopy>& verification);

// A run of consecutive numbers from an 11-digit start number. countText is the count field
// (k = its length, 1 to 4; its value the count c); lastDigit, when set, is appended to every
// generated number. The counter runs from the value of the k digits at the end of the start
// (before its last digit with a last digit) for c numbers and wraps within its k digits.
// The first number is the start as typed. nullopt when the start is not 11 characters, the
// count text is not 1 to 4 characters or not a whole number.
std::optional<std::vector<std::string>> GenerateNumberRange(const std::string& start,
                                                            const std::string& countText,
                                                            std::optional<char> lastDigit);

}  // namespace smsc
