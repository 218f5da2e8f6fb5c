#pragma once
// The opt-out list (退订名单): numbers that asked to receive nothing more. It lives in
// "OptOut.txt" of the data folder, a file of the user's like the address book: created by the
// first addition, never shipped, never replaced by a build or an update. GBK text, CR LF, one
// entry per line: the number, a tab, the date it was added (YYYY-MM-DD), a tab, its source
// (回复, 手工 or 导入). No Qt: the pages, the list window and smsclient-cli share it.
//
// Reading is tolerant: lines end in CR LF, LF or CR; a line's number is its text up to the
// first tab or comma ("number,date" of a sheet saved as CSV), in ASCII or full-width digits,
// a mobile number as people write it ("+86 139-1234-5678"), or else its first word. Blank
// lines and notes ("#...") are kept; a line that names no number is kept too and counted
// ("N行无法识别"). Every line is kept byte for byte when the file is rewritten. A number is
// listed at most once; a later line repeating it is dropped on the next write. A file saved
// as "Unicode" (UTF-16) or as UTF-8 with its mark is read as the text it holds and written
// back as GBK. A file that cannot be read as such a list (not a regular file, not GBK text,
// over 64 MB) is never written over, and a send refuses rather than guess.
//
// For callers without windows (the send pages' plan line, the command line):
//   OptOutList list = OptOutList::Load(OptOutPath());        // or OptOutPathIn(dataDir)
//   if (!list.ok()) ... list.errorMessage() ...              // GBK, one clear sentence
//   list.contains("13912345678");
//   FilterOptOut(list, entries, verifyOn, verifyNumber)      // kept entries + skipped count
//   CountOptOut(list, entries, verifyOn, verifyNumber)       // only the count
//   PlanOptOutSend(path, entries, verifyOn, verifyNumber)    // load + filter + refusal
// Changes go through AddToOptOutFile / RemoveFromOptOutFile, which take the list's lock
// (flock on "OptOut.lock" beside it, so writers in other processes wait their turn), read the
// file afresh, change it and write it atomically.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace smsc {

inline constexpr const char* kOptOutFileName = "OptOut.txt";
// 1,000,000 entries take about 29 MB; a larger file is no list of ours and is neither read
// nor written over, and a change that would make the file larger is refused.
inline constexpr std::size_t kMaxOptOutFileBytes = 64u * 1024u * 1024u;

// The list file of the program's data folder.
std::string OptOutPath();
// The list file in the given folder (a trailing '/' is optional).
std::string OptOutPathIn(const std::string& dataDir);

enum class OptOutSource { Reply, Manual, Import };
// "回复", "手工", "导入" (GBK).
std::string OptOutSourceText(OptOutSource source);

// Today in local time as YYYY-MM-DD.
std::string OptOutToday();

// The number a text names: trimmed of blanks and control characters, 1 to 12 ASCII digits.
std::optional<std::string> OptOutNumber(std::string_view text);

// The number one field of a list line names (GBK): 1 to 12 digits, ASCII or full-width, or a
// mobile number as the common number reader reads it ("+86 139 1234 5678", ReadMobileNumber).
std::optional<std::string> ListedNumberOf(std::string_view field);

// The service splits the number string at "|" and at "*". An entry holding either carries
// every piece between them as a number of its own: these are the pieces, blank ones left out.
bool HoldsNumberSeparator(std::string_view entry);
std::vector<std::string> NumbersOfEntry(std::string_view entry);
// The entries with each one that holds a separator replaced by its pieces, so every entry is
// one number the service reads (and is charged for).
std::vector<std::string> SplitAtNumberSeparators(const std::vector<std::string>& entries);

enum class OptOutState {
    Ok,          // read (a missing file is an empty list)
    Unreadable,  // not a regular file (a directory, a FIFO), or a read error
    NotGbk,      // NUL bytes, a UTF-16 or UTF-8 mark, UTF-8 text, or bytes GBK does not hold
    TooLarge,    // over kMaxOptOutFileBytes
};

class OptOutList {
public:
    struct Entry {
        std::string_view number;
        std::string_view date;    // as written (may be empty)
        std::string_view source;  // as written (may be empty)
    };

    OptOutList() = default;  // empty, Ok

    // Reads the file; it is read through, never modified. A missing file is an empty list.
    static OptOutList Load(const std::string& path);
    // The bytes of a list file (state Ok or NotGbk).
    static OptOutList FromBytes(std::string bytes);

    OptOutState state() const { return m_state; }
    bool ok() const { return m_state == OptOutState::Ok; }
    // Why the list could not be read (GBK), naming the file; empty when ok.
    std::string errorMessage() const;

    std::size_t size() const { return m_count; }
    // Lines that name no number (blank lines and notes aside); kept in the file as they are.
    std::size_t unreadableLines() const { return m_unreadable; }
    bool contains(std::string_view number) const;  // the text is trimmed first
    // The entries in file order; the views live as long as the list is not changed.
    std::vector<Entry> entries() const;

    // false when the text is no number (OptOutNumber) or the number is listed already.
    bool add(std::string_view number, std::string_view date, OptOutSource source);
    // false when the number is not listed.
    bool remove(std::string_view number);

    // The file's bytes: every kept line, entries and others, each ending in CR LF.
    std::string toBytes() const;

private:
    enum class Kind : std::uint8_t { Entry, Other, Unreadable, Dropped };
    struct Line {
        std::uint32_t begin;
        std::uint32_t length;
        std::uint32_t numberAt;  // in m_text, or in m_numbers when numberRead
        std::uint8_t numberLength;
        bool numberRead;  // the number as read from another form (full-width, "+86 ...")
        Kind kind;
    };
    void parse();
    void appendLine(std::uint32_t begin, std::uint32_t length);
    // The slot of the number's key in the open-addressing index (its key or an empty slot).
    std::size_t slotOf(std::uint64_t key) const;
    void growIndex();
    std::optional<std::uint32_t> lineOf(std::string_view number) const;
    std::string_view lineText(const Line& line) const;
    std::string_view numberOf(const Line& line) const;

    OptOutState m_state = OptOutState::Ok;
    std::string m_path;
    std::string m_text;     // the file's bytes, then the lines added
    std::string m_numbers;  // the numbers of lines that do not hold them in ASCII digits
    std::vector<Line> m_lines;
    // Number key (its digits' value and count) → line, by linear probing; key 0 is empty.
    std::vector<std::uint64_t> m_keys;
    std::vector<std::uint32_t> m_slotLines;
    std::size_t m_used = 0;   // slots taken
    std::size_t m_count = 0;  // entries listed
    std::size_t m_unreadable = 0;
};

// ---- changes on the file ------------------------------------------------------------------

struct OptOutChange {
    OptOutState state = OptOutState::Ok;  // of the file as read before the change
    std::string error;                    // GBK; empty when the change is on disk
    int changed = 0;    // numbers added (or removed); 0 when nothing could be written
    int unchanged = 0;  // listed already (add) or not listed (remove)
    int invalid = 0;    // texts that are no number
    bool failed() const { return !error.empty(); }
};

// Under the list's lock: reads the file, adds every number not yet listed with the date and
// source, and writes the file atomically when something was added. A list that cannot be
// read is left as it is; a change that would take the file past kMaxOptOutFileBytes is
// refused; a write that fails is reported; in both nothing is counted as added.
OptOutChange AddToOptOutFile(const std::string& path, const std::vector<std::string>& numbers,
                             OptOutSource source, const std::string& date = OptOutToday());
OptOutChange RemoveFromOptOutFile(const std::string& path, const std::vector<std::string>& numbers);

// The export file: every entry's line as in the list file (number, date and source), CR LF.
std::string OptOutExportBytes(const OptOutList& list);

// A text file of numbers to import is read whole up to this size.
inline constexpr std::size_t kMaxOptOutImportBytes = 64u * 1024u * 1024u;

struct OptOutImport {
    std::string error;  // GBK: the text file could not be read, or the change failed
    int found = 0;      // distinct mobile numbers in the text file
    OptOutChange change;
};
// Adds the mobile numbers found anywhere in the text file (FindMobileNumbers: written as
// "13912345678" or "+86 139-1234-5678"; a "Unicode" or marked UTF-8 file is read as its
// text), source 导入.
OptOutImport ImportIntoOptOutFile(const std::string& listPath, const std::string& textPath,
                                  const std::string& date = OptOutToday());

// ---- leaving listed numbers out of a send -------------------------------------------------

// Whether an entry of a recipient list is left out: its trimmed text is listed, and it is
// not a copy of the verification number (the entries the number string marks with "*").
// An entry holding "|" or "*" is first split into its pieces (NumbersOfEntry), each kept or
// left out on its own, so the kept entries are the numbers the service will read.
struct OptOutFilter {
    std::vector<std::string> kept;  // in list order
    int skipped = 0;
};
OptOutFilter FilterOptOut(const OptOutList& list, const std::vector<std::string>& entries,
                          bool verificationOn, const std::string& verificationNumber);
int CountOptOut(const OptOutList& list, const std::vector<std::string>& entries,
                bool verificationOn, const std::string& verificationNumber);

enum class OptOutSendRefusal {
    None,
    ListUnreadable,  // "退订名单无法读取，请检查OptOut.txt"
    AllListed,       // "发送对象均在退订名单中，未发送"
};
// The message of a refusal (GBK); empty for None.
std::string OptOutSendRefusalMessage(OptOutSendRefusal refusal);
// "N行无法识别" (GBK).
std::string OptOutUnreadableText(std::size_t lines);
// "已跳过N个退订号码" (GBK).
std::string OptOutSkippedText(int skipped);
// A send's result message with that line under it ("\r" between) when entries were skipped.
std::string WithOptOutSkipped(const std::string& gbkMessage, int skipped);

struct OptOutSendPlan {
    OptOutSendRefusal refusal = OptOutSendRefusal::None;
    std::string listError;  // with ListUnreadable: why (GBK)
    std::vector<std::string> entries;
    int skipped = 0;
};
// The list read from the path and the entries filtered. An empty entry list is no refusal:
// the send checks have their own message for it.
OptOutSendPlan PlanOptOutSend(const std::string& listPath, const std::vector<std::string>& entries,
                              bool verificationOn, const std::string& verificationNumber);

// Whether the bytes are text the list may be read from (see OptOutState::NotGbk).
bool IsGbkListText(std::string_view bytes);

}  // namespace smsc
