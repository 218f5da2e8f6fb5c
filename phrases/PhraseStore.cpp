#include "phrases/PhraseStore.h"

#include <dirent.h>
#include <sys/stat.h>

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <numeric>

#include "platform/AtomicFile.h"
#include "platform/DataDir.h"
#include "platform/Gbk.h"
#include "platform/TextHelpers.h"

namespace smsc {
namespace {

// The longest name of a folder entry on the file systems the data folder lives on.
constexpr size_t kMaxFileNameBytes = 255;

// One piece of a category file: the bytes between two CRs (the CRs not included).
struct Piece {
    size_t begin;
    size_t end;
};

// The phrase of a piece: its LFs removed and blanks trimmed (trail bytes of two-byte
// characters are never below 0x40, so trimming bytes 0..32 cannot cut a character).
std::string PhraseOfPiece(std::string_view piece) {
    std::string phrase;
    phrase.reserve(piece.size());
    for (char c : piece)
        if (c != '\n' && c != '\r')
            phrase += c;
    return std::string(TrimmedView(phrase));
}

bool IsBlankPiece(std::string_view piece) {
    return std::all_of(piece.begin(), piece.end(),
                       [](char c) { return static_cast<unsigned char>(c) <= 32; });
}

template <typename Visit>
void ForEachPiece(std::string_view bytes, Visit visit) {
    size_t begin = 0;
    while (begin < bytes.size()) {
        size_t end = bytes.find('\r', begin);
        if (end == std::string_view::npos)
            end = bytes.size();
        if (!visit(Piece{begin, end}))
            return;
        begin = end + 1;
    }
}

struct RawRead {
    ReadStatus status = ReadStatus::Missing;
    std::string bytes;
};

RawRead ReadBounded(const std::string& path) {
    RawRead read;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        read.status = errno == ENOENT ? ReadStatus::Missing : ReadStatus::Unreadable;
        return read;
    }
    if (!S_ISREG(st.st_mode)) {
        read.status = ReadStatus::Unreadable;
        return read;
    }
    if (static_cast<unsigned long long>(st.st_size) > kMaxPhraseFileBytes) {
        read.status = ReadStatus::TooLarge;
        return read;
    }
    std::optional<std::string> bytes = ReadWholeFile(path);
    if (!bytes) {
        read.status = ReadStatus::Unreadable;
    } else if (bytes->size() > kMaxPhraseFileBytes) {
        read.status = ReadStatus::TooLarge;
    } else {
        read.status = ReadStatus::Ok;
        read.bytes = std::move(*bytes);
    }
    return read;
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool EndsWithTxt(std::string_view name) {
    if (name.size() < 4)
        return false;
    const std::string_view ext = name.substr(name.size() - 4);
    const char* want = ".txt";
    for (size_t i = 0; i < 4; ++i) {
        char c = ext[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != want[i])
            return false;
    }
    return true;
}

std::string UserCollationLocale() {
    for (const char* variable : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return value;
    }
    return {};
}

icu::Locale IcuLocale(std::string name) {
    // POSIX names: "zh_CN.UTF-8", "de_DE@euro", "C".
    const size_t cut = name.find_first_of(".@");
    if (cut != std::string::npos)
        name.resize(cut);
    if (name.empty() || name == "C" || name == "POSIX")
        return icu::Locale::getRoot();
    return icu::Locale(name.c_str());
}

std::string SortKey(const icu::Collator& collator, const std::string& gbk) {
    const std::string utf8 = GbkToUtf8(gbk);
    const icu::UnicodeString text = icu::UnicodeString::fromUTF8(utf8);
    std::string key(64, '\0');
    int32_t length = collator.getSortKey(text, reinterpret_cast<uint8_t*>(key.data()),
                                         static_cast<int32_t>(key.size()));
    if (length > static_cast<int32_t>(key.size())) {
        key.resize(static_cast<size_t>(length));
        length = collator.getSortKey(text, reinterpret_cast<uint8_t*>(key.data()), length);
    }
    key.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return key;
}

}  // namespace

std::vector<std::string> ParsePhrases(std::string_view bytes) {
    std::vector<std::string> phrases;
    ForEachPiece(bytes, [&](Piece piece) {
        const std::string_view text = bytes.substr(piece.begin, piece.end - piece.begin);
        if (!IsBlankPiece(text)) {
            std::string phrase = PhraseOfPiece(text);
            if (!phrase.empty())
                phrases.push_back(std::move(phrase));
        }
        return true;
    });
    return phrases;
}

std::string PhraseFolder() {
    return DataPath("phrase/");
}

std::optional<std::string> CategoryNameOf(std::string_view fileName) {
    if (!EndsWithTxt(fileName))
        return std::nullopt;
    const std::string_view utf8 = fileName.substr(0, fileName.find('.'));
    if (utf8.empty())
        return std::nullopt;
    // A name that does not survive the way to GBK and back would name another file.
    std::string gbk = Utf8ToGbk(utf8);
    if (GbkToUtf8(gbk) != utf8)
        return std::nullopt;
    return gbk;
}

void SortCategoryNames(std::vector<std::string>& names, const std::string& locale) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(
        IcuLocale(locale.empty() ? UserCollationLocale() : locale), status));
    if (U_FAILURE(status) || !collator) {
        std::sort(names.begin(), names.end());
        return;
    }
    // Secondary strength: letter case is ignored, accents are not.
    collator->setStrength(icu::Collator::SECONDARY);
    std::vector<std::pair<std::string, std::string>> keyed;
    keyed.reserve(names.size());
    for (std::string& name : names)
        keyed.emplace_back(SortKey(*collator, name), std::move(name));
    std::sort(keyed.begin(), keyed.end());
    for (size_t i = 0; i < keyed.size(); ++i)
        names[i] = std::move(keyed[i].second);
}

std::vector<std::string> EnumerateCategories(const std::string& folder, const std::string& locale) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    std::string base = folder;
    if (!base.empty() && base.back() != '/')
        base += '/';
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view fileName = entry->d_name;
        std::optional<std::string> name = CategoryNameOf(fileName);
        if (name && IsRegularFile(base + std::string(fileName)))
            names.push_back(std::move(*name));
    }
    ::closedir(dir);
    SortCategoryNames(names, locale);
    // "a.txt" and "a.b.txt" are one category.
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

std::string CategoryPath(const std::string& folder, const std::string& gbkName) {
    std::string base = folder;
    if (!base.empty() && base.back() != '/')
        base += '/';
    const std::string utf8 = GbkToUtf8(gbkName);
    std::string exact = base + utf8 + ".txt";
    if (IsRegularFile(exact))
        return exact;
    if (DIR* dir = ::opendir(base.c_str())) {
        std::string found;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string_view fileName = entry->d_name;
            if (fileName.size() == utf8.size() + 4 && fileName.substr(0, utf8.size()) == utf8 &&
                EndsWithTxt(fileName) && IsRegularFile(base + std::string(fileName))) {
                found = base + std::string(fileName);
                break;
            }
        }
        ::closedir(dir);
        if (!found.empty())
            return found;
    }
    return exact;
}

CategoryRead ReadCategory(const std::string& path) {
    RawRead raw = ReadBounded(path);
    CategoryRead read;
    read.status = raw.status;
    if (raw.status == ReadStatus::Ok)
        read.phrases = ParsePhrases(raw.bytes);
    return read;
}

NameCheck CheckNewCategoryName(const std::string& gbkName,
                               const std::vector<std::string>& existing) {
    const std::string_view name = TrimmedView(gbkName);
    if (name.empty())
        return NameCheck::Empty;
    for (size_t pos = 0; pos < name.size();) {
        const int bytes = GbkCharBytes(name, pos);
        if (bytes == 1) {
            const unsigned char c = static_cast<unsigned char>(name[pos]);
            if (c < 0x20 || c == 0x7F ||
                std::string_view("\\/:*?\"<>|.").find(static_cast<char>(c)) !=
                    std::string_view::npos)
                return NameCheck::Unsafe;
        }
        pos += static_cast<size_t>(bytes);
    }
    for (const std::string& other : existing)
        if (TrimmedView(other) == name)
            return NameCheck::Duplicate;
    if (GbkToUtf8(name).size() + 4 > kMaxFileNameBytes)
        return NameCheck::TooLong;
    return NameCheck::Ok;
}

bool CreateCategoryFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return S_ISREG(st.st_mode);
    return WriteFileAtomically(path, {});
}

std::string ToCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string WithPhraseAppended(std::string_view file, std::string_view text) {
    std::string out;
    out.reserve(file.size() + text.size() + 4);
    out.append(file);
    if (!out.empty() && !(out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0))
        out += "\r\n";
    out += ToCrLf(text);
    out += "\r\n";
    return out;
}

std::optional<std::string> WithPhraseReplaced(std::string_view file, size_t row,
                                              std::string_view expected,
                                              std::optional<std::string_view> replacement) {
    std::optional<Piece> target;
    size_t index = 0;
    ForEachPiece(file, [&](Piece piece) {
        const std::string_view text = file.substr(piece.begin, piece.end - piece.begin);
        if (IsBlankPiece(text))
            return true;
        if (index++ < row)
            return true;
        if (PhraseOfPiece(text) == expected)
            target = piece;
        return false;
    });
    if (!target)
        return std::nullopt;
    // The line break in front of the phrase (the LF after the previous CR) stays.
    size_t keep = target->begin;
    while (keep < target->end && file[keep] == '\n')
        ++keep;
    std::string out;
    out.reserve(file.size() + (replacement ? replacement->size() + 8 : 0));
    out.append(file.substr(0, keep));
    if (replacement)
        out += ToCrLf(*replacement);
    out.append(file.substr(target->end));
    return out;
}

bool AppendPhrase(const std::string& path, const std::string& text) {
    RawRead raw = ReadBounded(path);
    if (raw.status != ReadStatus::Ok && raw.status != ReadStatus::Missing)
        return false;
    return WriteFileAtomically(path, WithPhraseAppended(raw.bytes, text));
}

namespace {

bool ReplaceInFile(const std::string& path, size_t row, const std::string& expected,
                   std::optional<std::string_view> replacement, PhraseFailure* why) {
    PhraseFailure failure = PhraseFailure::None;
    RawRead raw = ReadBounded(path);
    std::optional<std::string> changed;
    if (raw.status == ReadStatus::Missing)
        failure = PhraseFailure::Missing;
    else if (raw.status == ReadStatus::TooLarge)
        failure = PhraseFailure::TooLarge;
    else if (raw.status != ReadStatus::Ok)
        failure = PhraseFailure::Unreadable;
    else if (!(changed = WithPhraseReplaced(raw.bytes, row, expected, replacement)))
        failure = PhraseFailure::Stale;
    else if (!WriteFileAtomically(path, *changed))
        failure = PhraseFailure::WriteFailed;
    if (why)
        *why = failure;
    return failure == PhraseFailure::None;
}

}  // namespace

bool ChangePhrase(const std::string& path, size_t row, const std::string& expected,
                  const std::string& text) {
    return ChangePhrase(path, row, expected, text, nullptr);
}

bool DeletePhrase(const std::string& path, size_t row, const std::string& expected) {
    return DeletePhrase(path, row, expected, nullptr);
}

bool ChangePhrase(const std::string& path, size_t row, const std::string& expected,
                  const std::string& text, PhraseFailure* why) {
    return ReplaceInFile(path, row, expected, std::string_view(text), why);
}

bool DeletePhrase(const std::string& path, size_t row, const std::string& expected,
                  PhraseFailure* why) {
    return ReplaceInFile(path, row, expected, std::nullopt, why);
}

}  // namespace smsc
