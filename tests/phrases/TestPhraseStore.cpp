// The phrase folder without windows: the reading rules, the category names and their
// order, and the changes of a category file (append, change and delete one line).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "phrases/PhraseStore.h"
#include "platform/AtomicFile.h"
#include "platform/Gbk.h"
#include "platform/TextHelpers.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using smsc::test::TempFolder;

namespace {

using Phrases = std::vector<std::string>;

TEST(PhraseStore, ReadingRules) {
    const struct {
        std::string bytes;
        Phrases phrases;
    } cases[] = {
        {"x\r\n\r\ny", {"x", "y"}},       // blank line skipped, last line without break
        {"a\nb\nc\n", {"abc"}},           // LF only: one phrase, line feeds removed
        {"x\r\ny\r\n", {"x", "y"}},       // final CR LF gives no empty phrase
        {"  a  \r\n\t\r\n \r\n", {"a"}},  // trimmed; blank pieces skipped
        {"a\rb", {"a", "b"}},             // CR alone ends a line
        {"", {}},
        {G("一二\r\n三"), {G("一二"), G("三")}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParsePhrases(c.bytes), c.phrases) << c.bytes;
}

TEST(PhraseStore, CategoryNamesOfFiles) {
    EXPECT_EQ(CategoryNameOf("a.b.txt"), "a");
    EXPECT_EQ(CategoryNameOf("B.TXT"), "B");
    EXPECT_EQ(CategoryNameOf("经典谚语.txt"), G("经典谚语"));
    EXPECT_FALSE(CategoryNameOf("notes.doc"));
    EXPECT_FALSE(CategoryNameOf(".txt"));
    EXPECT_FALSE(CategoryNameOf("txt"));
    EXPECT_FALSE(CategoryNameOf("a.txt.tmpAbc123"));  // a write in progress
}

TEST(PhraseStore, EnumerationSortsIgnoringCaseAndResolvesTheFile) {
    TempFolder folder;
    for (const char* name : {"c.txt", "B.TXT", "apple.txt", "Apple.txt", "a.b.txt", "notes.doc"})
        folder.writeFile(name, "x\r\n");
    std::filesystem::create_directory(folder.file("dir.txt"));
    EXPECT_EQ(EnumerateCategories(folder.path(), "en_US"),
              (Phrases{"a", "Apple", "apple", "B", "c"}));
    // Operations on "B" use the file whose extension differs in case only; on "a" the file
    // of that shorter name, which does not exist.
    EXPECT_EQ(CategoryPath(folder.path(), "B"), folder.file("B.TXT"));
    EXPECT_EQ(CategoryPath(folder.path(), "a"), folder.file("a.txt"));
    EXPECT_EQ(ReadCategory(CategoryPath(folder.path(), "a")).status, ReadStatus::Missing);
    EXPECT_TRUE(EnumerateCategories(folder.file("missing/")).empty());

    Phrases chinese = {G("经典谚语"), G("客户关怀"), G("节日祝福"), G("催款提醒"), G("会议通知")};
    SortCategoryNames(chinese, "zh_CN.UTF-8");  // by pronunciation
    EXPECT_EQ(chinese,
              (Phrases{G("催款提醒"), G("会议通知"), G("节日祝福"), G("经典谚语"), G("客户关怀")}));
}

// n Chinese characters (three bytes each in UTF-8).
std::string Chinese(int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += "类";
    return s;
}

TEST(PhraseStore, NewCategoryNames) {
    const Phrases existing = {"work", G("节日祝福")};
    const struct {
        std::string name;
        NameCheck check;
    } cases[] = {
        {"", NameCheck::Empty},
        {" \t ", NameCheck::Empty},
        {"work", NameCheck::Duplicate},
        {"  work ", NameCheck::Duplicate},
        {"Work", NameCheck::Ok},
        {G("节日祝福"), NameCheck::Duplicate},
        {"a.b", NameCheck::Unsafe},
        {"../x", NameCheck::Unsafe},
        {"x\\y", NameCheck::Unsafe},
        {"x|y", NameCheck::Unsafe},
        {"a\"b", NameCheck::Unsafe},
        {"a?", NameCheck::Unsafe},
        {"a\tb", NameCheck::Unsafe},
        {G("乗客"), NameCheck::Ok},  // trail byte 0x5C
        // The file name (UTF-8, ".txt" added) must fit in a folder entry of 255 bytes.
        {G(Chinese(83)), NameCheck::Ok},
        {G(Chinese(84)), NameCheck::TooLong},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckNewCategoryName(c.name, existing), c.check) << c.name;
}

TEST(PhraseStore, CreatingACategoryKeepsAnExistingFile) {
    TempFolder folder;
    folder.writeFile("old.txt", "x\r\n");
    EXPECT_TRUE(CreateCategoryFile(folder.file("old.txt")));
    EXPECT_EQ(ReadCategory(folder.file("old.txt")).phrases, Phrases{"x"});
    EXPECT_TRUE(CreateCategoryFile(folder.file("new.txt")));
    EXPECT_EQ(std::filesystem::file_size(folder.file("new.txt")), 0u);
    EXPECT_FALSE(CreateCategoryFile(folder.file("no-folder/new.txt")));
    // The longest name that passes the check is created and changed like any other.
    const std::string longest = CategoryPath(folder.path(), G(Chinese(83)));
    EXPECT_TRUE(CreateCategoryFile(longest));
    EXPECT_TRUE(AppendPhrase(longest, "a"));
    EXPECT_TRUE(ChangePhrase(longest, 0, "a", "b"));
    EXPECT_EQ(ReadCategory(longest).phrases, Phrases{"b"});
}

TEST(PhraseStore, ChangesInMemory) {
    // Appending keeps the new phrase on a line of its own and writes typed breaks as CR LF.
    EXPECT_EQ(WithPhraseAppended("", "a"), "a\r\n");
    EXPECT_EQ(WithPhraseAppended("x", "a"), "x\r\na\r\n");
    EXPECT_EQ(WithPhraseAppended("x\r\n", " a\nb "), "x\r\n a\r\nb \r\n");
    EXPECT_EQ(ToCrLf("a\nb\r\nc\rd"), "a\r\nb\r\nc\r\nd");

    const struct {
        std::string file;
        size_t row;
        std::string expected;
        std::optional<std::string> replacement;
        std::optional<std::string> result;
    } cases[] = {
        // one of two identical lines: only the selected one changes
        {"a\r\nb\r\na\r\n", 2, "a", "Z", "a\r\nb\r\nZ\r\n"},
        {"a\r\nb\r\na\r\n", 0, "a", std::nullopt, "\r\nb\r\na\r\n"},
        // a phrase that is part of another
        {"ab\r\nb\r\nbb", 1, "b", std::nullopt, "ab\r\n\r\nbb"},
        // rows count listed phrases only; blank lines and the untouched bytes stay
        {"\r\n  x \r\n\r\n(a.b?)*\r\n", 1, "(a.b?)*", "[1]$", "\r\n  x \r\n\r\n[1]$\r\n"},
        {"x\r\n(a.b?)*", 1, "(a.b?)*", std::nullopt, "x\r\n"},
        {"x\r\ny\r\n", 0, "x", "p\nq", "p\r\nq\r\ny\r\n"},
        // stale rows: the line no longer holds the listed phrase
        {"x\r\ny\r\n", 0, "y", "Z", std::nullopt},
        {"x\r\n", 1, "x", "Z", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto replacement =
            c.replacement ? std::optional<std::string_view>(*c.replacement) : std::nullopt;
        EXPECT_EQ(WithPhraseReplaced(c.file, c.row, c.expected, replacement), c.result) << c.file;
    }
}

TEST(PhraseStore, ChangesOfAFile) {
    TempFolder folder;
    const std::string path = folder.file("c.txt");
    EXPECT_TRUE(AppendPhrase(path, "one"));  // created when missing
    EXPECT_TRUE(AppendPhrase(path, "two"));
    EXPECT_TRUE(ChangePhrase(path, 1, "two", "2"));
    EXPECT_TRUE(DeletePhrase(path, 0, "one"));
    EXPECT_EQ(ReadCategory(path).phrases, Phrases{"2"});
    // A stale row writes nothing.
    EXPECT_FALSE(ChangePhrase(path, 0, "one", "X"));
    EXPECT_FALSE(DeletePhrase(path, 0, "one"));
    EXPECT_EQ(*ReadCategory(path).phrases.begin(), "2");

    // A category "file" that is a directory, or a missing folder: every change fails and
    // nothing is written.
    const std::string dir = folder.file("d.txt");
    std::filesystem::create_directory(dir);
    EXPECT_FALSE(AppendPhrase(dir, "x"));
    EXPECT_FALSE(ChangePhrase(dir, 0, "x", "y"));
    EXPECT_FALSE(DeletePhrase(dir, 0, "x"));
    EXPECT_TRUE(std::filesystem::is_empty(dir));
    EXPECT_FALSE(AppendPhrase(folder.file("missing/e.txt"), "x"));
    EXPECT_EQ(ReadCategory(dir).status, ReadStatus::Unreadable);
}

TEST(PhraseStore, HugeFileIsNeitherReadNorChanged) {
    TempFolder folder;
    const std::string path = folder.file("big.txt");
    folder.writeFile("big.txt", "");
    std::filesystem::resize_file(path, kMaxPhraseFileBytes + 1);
    EXPECT_EQ(ReadCategory(path).status, ReadStatus::TooLarge);
    EXPECT_FALSE(AppendPhrase(path, "x"));
    EXPECT_EQ(std::filesystem::file_size(path), kMaxPhraseFileBytes + 1);
}

// The categories shipped in data/phrase/: GBK, CR LF, one phrase of at most 70 characters
// per line.
TEST(PhraseStore, ShippedCategories) {
    const std::string folder = std::string(SMSC_SOURCE_DATA_DIR) + "/phrase/";
    const Phrases names = EnumerateCategories(folder, "zh_CN");
    for (const char* wanted : {"经典谚语", "节日祝福", "会议通知", "客户关怀", "催款提醒"})
        EXPECT_NE(std::find(names.begin(), names.end(), G(wanted)), names.end()) << wanted;
    for (const std::string& name : names) {
        const std::string path = CategoryPath(folder, name);
        const std::string bytes = *ReadWholeFile(path);
        SCOPED_TRACE(GbkToUtf8(name));
        EXPECT_EQ(Utf8ToGbk(GbkToUtf8(bytes)), bytes);  // valid GBK
        EXPECT_EQ(GbkToUtf8(bytes).find("\xEF\xBF\xBD"), std::string::npos);
        EXPECT_EQ(ToCrLf(bytes), bytes);  // CR LF only
        ASSERT_GE(bytes.size(), 2u);
        EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
        EXPECT_EQ(bytes.find("\r\n\r\n"), std::string::npos);
        const Phrases phrases = ParsePhrases(bytes);
        EXPECT_GE(phrases.size(), 8u);
        EXPECT_LE(phrases.size(), 15u);
        for (const std::string& phrase : phrases)
            EXPECT_TRUE(FitsOneMessage(phrase)) << GbkToUtf8(phrase);
    }
}

}  // namespace
