#pragma once
// The phrase library on disk: one GBK text file per category in the folder "phrase/" of the
// data folder, one phrase per line, lines ending in CR LF. No Qt: the pages, the insertion
// dialog and the benchmarks share it.
//
// Category names are GBK; file paths stay native (UTF-8). Every change reads the whole
// file, changes it in memory and writes it back atomically, so a failure leaves the file as
// it was and every line not changed keeps its bytes.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace smsc {

// A category file larger than this is not read (nor changed): it cannot be a phrase list
// (a full category of 10000 long phrases is under 1.5 MB), and reading it would hold the
// window and memory.
inline constexpr size_t kMaxPhraseFileBytes = 4u * 1024u * 1024u;
// The category the insertion dialog shows first.
inline constexpr std::string_view kDefaultPhraseCategoryUtf8 = "经典谚语";

// ---- reading rules ----------------------------------------------------------------------
// The phrases of a category file's bytes: cut at every CR, every CR and LF removed from
// each piece, blanks trimmed, empty pieces skipped.
std::vector<std::string> ParsePhrases(std::string_view bytes);

// ---- the folder and its categories -------------------------------------------------------
// DataPath("phrase/").
std::string PhraseFolder();
// The category name a directory entry gives (its name up to the first dot) when it ends in
// ".txt" in any letter case; nullopt otherwise. fileName is native (UTF-8); the name GBK.
std::optional<std::string> CategoryNameOf(std::string_view fileName);
// Sorts with the collation of the locale, ignoring letter case (names equal but for case
// keep a fixed order). An empty locale means the user's (LC_ALL, LC_COLLATE, LANG).
void SortCategoryNames(std::vector<std::string>& gbkNames, const std::string& locale = {});
// The sorted category names of the folder's regular files; empty when there is no folder.
std::vector<std::string> EnumerateCategories(const std::string& folder,
                                             const std::string& locale = {});
// The file of a category: folder + name + ".txt", or the existing file whose extension
// differs only in letter case (the file system the library comes from ignores it).
std::string CategoryPath(const std::string& folder, const std::string& gbkName);

enum class ReadStatus { Ok, Missing, TooLarge, Unreadable };
struct CategoryRead {
    ReadStatus status = ReadStatus::Missing;
    std::vector<std::string> phrases;
};
CategoryRead ReadCategory(const std::string& path);

// ---- category names ----------------------------------------------------------------------
enum class NameCheck { Ok, Empty, Unsafe, Duplicate, TooLong };
// name trimmed. Unsafe: \ / : * ? " < > | . or a control character, any of which would
// put the file elsewhere, make it list under another name or fail to open. TooLong: its
// file name (UTF-8, with ".txt") does not fit in a folder entry (255 bytes).
NameCheck CheckNewCategoryName(const std::string& gbkName,
                               const std::vector<std::string>& existing);
// Creates the category's file empty unless it exists; false when it cannot be created.
bool CreateCategoryFile(const std::string& path);

// ---- changes in memory (no file) ---------------------------------------------------------
// LF and lone CR line breaks as CR LF (text typed in an editor).
std::string ToCrLf(std::string_view text);
// The file with the text and CR LF added as its last line; a CR LF goes first when the
// file is not empty and does not end with one, so the new phrase stays a line of its own.
std::string WithPhraseAppended(std::string_view file, std::string_view text);
// The file with the line of phrase `row` (its index among the listed phrases) holding
// `replacement` (nullopt: the phrase removed, its line break kept); every other byte kept.
// nullopt when that line no longer holds `expected` (the file changed since it was listed).
std::optional<std::string> WithPhraseReplaced(std::string_view file, size_t row,
                                              std::string_view expected,
                                              std::optional<std::string_view> replacement);

// ---- changes of a category file (read, change, atomic write) -----------------------------
// Each returns false and leaves the file untouched on any failure (missing folder, file too
// large or unreadable, stale row, write failure). Texts are GBK with CR LF breaks.
bool AppendPhrase(const std::string& path, const std::string& text);
bool ChangePhrase(const std::string& path, size_t row, const std::string& expected,
                  const std::string& text);
bool DeletePhrase(const std::string& path, size_t row, const std::string& expected);

// Why a change or a deletion was not made. `expected` is the row's phrase as read from the
// file (its own bytes, whether or not they are valid GBK).
enum class PhraseFailure { None, Missing, TooLarge, Unreadable, Stale, WriteFailed };
bool ChangePhrase(const std::string& path, size_t row, const std::string& expected,
                  const std::string& text, PhraseFailure* why);
bool DeletePhrase(const std::string& path, size_t row, const std::string& expected,
                  PhraseFailure* why);

}  // namespace smsc
