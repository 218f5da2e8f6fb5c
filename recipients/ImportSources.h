#pragma once
// What a bulk import run does apart from any window: the candidates of each kind of source,
// the entry test and the added text, the recipient cap, the add phase as an ordered plan of
// entries and progress steps, and the whole worker routine against a small event interface
// (the window glue posts each event to the GUI thread). Plain C++ on GBK text, no Qt.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "recipients/ImportTally.h"
#include "recipients/NumberEntries.h"

namespace smsc {

// The four import items of the add menu.
enum class ImportKind {
    TextFileImport,    // "从文本文件导入": every line of a text file
    TextFileExtract,   // "从文本文件提取": mobile numbers anywhere in a text file
    ExcelExtract,      // "从EXCEL文件提取": valid mobile numbers in the cells of a spreadsheet
    ClipboardExtract,  // "从剪切板提取": mobile numbers in the clipboard text
};

// ---- candidates, entry test, added text ------------------------------------------------------
// "从文本文件导入": the lines of the whole file, repeats dropped, the part after the last line
// end always last. A line ends at CR LF, LF or a lone CR, so a file saved on Linux gives its
// lines too; a CR LF file gives what splitting at CR gives.
std::vector<std::string> TextImportCandidates(std::string fileText);
// "从文本文件提取" and "从剪切板提取": the distinct numbers found in the text.
std::vector<std::string> ExtractCandidates(const std::string& text);

// What reading a source gave: the candidates, what the user is told about them, and how many
// numbers the source holds (more than the candidates only when a spreadsheet was read up to
// its limit).
struct SourceRead {
    std::vector<std::string> candidates;
    ImportTally tally;
    long long numbersInSource = 0;
};
// "从文本文件导入": TextImportCandidates, each line that is one mobile number however written
// taken as its 11 digits (a repeat of an earlier number dropped), every other line as it is;
// no empty last candidate, so a final line break adds nothing to count against the cap.
SourceRead ReadTextImport(std::string fileText);
// "从文本文件提取" and "从剪切板提取": the numbers found line by line.
SourceRead ReadExtract(const std::string& text);
// The most candidates of an over-cap source that fit under the cap with their counted copies.
long long CandidatesUnderCap(const std::optional<VerificationCopy>& verification);

bool PassesEntryTest(ImportKind kind, const std::string& candidate);
// The candidate without CR and LF (blanks kept).
std::string AddedText(const std::string& candidate);

// ---- cap and plan ----------------------------------------------------------------------------
// E: the verification copies the cap check counts, L div K (0 without the option).
long long CountedCopies(long long candidates, const std::optional<VerificationCopy>& verification);
// Whether L + E passes the recipient cap.
bool ExceedsRecipientCap(long long candidates, long long countedCopies);

// The add phase of one run: what is appended, in order, and how the progress bar counts.
struct AddPlan {
    long long progressMaximum = 0;         // L + E
    std::vector<std::string> entries;      // in the order they are appended
    std::vector<long long> progressAfter;  // progress steps taken once entries[i] is appended
    long long totalSteps = 0;              // steps taken once every candidate is handled
    long long candidatesAdded = 0;         // entries that are candidates, not copies
};

// The add phase for the kind (candidates are moved from). Without the option every
// candidate is one step and added when it passes the entry test. With the option and fewer
// candidates than K, one copy goes first. Otherwise a copy goes before candidate i when
// i = K * j and j <= E (j the copies so far): for the text-file kinds whatever the candidate
// is, for the spreadsheet and clipboard kinds only when the candidate itself is added (a
// candidate failing its test at such a position skips that copy and every later one).
AddPlan BuildAddPlan(ImportKind kind, std::vector<std::string> candidates,
                     const std::optional<VerificationCopy>& verification);

// One hand-over to the GUI thread: entries to append and the progress steps they took.
struct ImportBatch {
    std::vector<std::string> entries;
    long long progressSteps = 0;
};
// The plan cut into batches of at most batchSize entries, in order; the steps of candidates
// that added nothing go with the batch after them (or the last one). No batch when the plan
// neither adds nor steps.
std::vector<ImportBatch> SplitIntoBatches(AddPlan plan, size_t batchSize);

// ---- the worker routine ----------------------------------------------------------------------
enum class ImportFailure {
    TextFileUnreadable,  // "读取文件失败，请检查文件是否存在或被其他程序使用"
    SpreadsheetUnreadable,  // "无法读取该电子表格文件，请确认文件格式"
};

// What the routine tells the panel, in order. Every call is one step for the GUI thread.
class ImportEvents {
public:
    virtual ~ImportEvents() = default;
    virtual void status(const std::string& text) = 0;  // GBK
    // The recipient cap would be passed: nothing has been added. The GUI thread asks whether
    // to add the first candidates that fit (read holds them all) or to add nothing, which
    // ends the run without the completion step.
    virtual void refuseOverCap(SourceRead read) = 0;
    // What the run took and left, after its last batch.
    virtual void tally(const ImportTally&) {}
    // The source could not be read: nothing is added, no completion step.
    virtual void failed(ImportFailure failure) = 0;
    // Reading is over: the adding text has been sent; stop the activity timer and count the
    // progress from 0 to the maximum.
    virtual void beginAdding(long long progressMaximum) = 0;
    virtual void addBatch(ImportBatch batch) = 0;
};

struct ImportRequest {
    ImportKind kind = ImportKind::TextFileImport;
    // The file's name (as the file system spells it) or the clipboard's text (GBK).
    std::string payload;
    std::optional<VerificationCopy> verification;
};

enum class ImportOutcome { Added, Refused, Failed };

// Status text while the source is read and while entries are added (GBK).
const std::string& ReadingStatus(ImportKind kind);
const std::string& AddingStatus(ImportKind kind);

// Text files larger than this are not read.
inline constexpr long long kMaxTextFileBytes = 256LL * 1024 * 1024;
// Reads the whole file; nullopt when it cannot be read (missing, unreadable, a folder, too
// large).
std::optional<std::string> ReadWholeFile(const std::string& path, long long maxBytes);

// The worker routine of a run: reading text, read the source, cap check, adding text and
// the batches. Runs on a pool thread; never throws.
ImportOutcome RunImport(const ImportRequest& request, ImportEvents& events,
                        size_t batchSize = 4096);

}  // namespace smsc
