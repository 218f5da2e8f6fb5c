// The opt-out list without windows: which replies unsubscribe, the settings, the list file
// (tolerant reading, lines kept, atomic changes, files that cannot be lists), and what a send
// leaves out.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "optout/OptOutKeywords.h"
#include "optout/OptOutList.h"
#include "platform/AtomicFile.h"
#include "platform/Gbk.h"
#include "tests/support/TempDataDir.h"
#include "tests/support/TextEncodings.h"

using namespace smsc;
using smsc::test::TempFolder;

namespace {

ReceivedRecord Reply(const std::string& number, const std::string& utf8Text) {
    return ReceivedRecord{true, number, "2024-05-01 10:00", G(utf8Text)};
}

TEST(OptOutKeywordsTest, WholeTextTrimmedFoldedAndWithoutTrailingPunctuation) {
    const OptOutKeywords defaults;
    struct Case {
        const char* text;  // UTF-8
        bool unsubscribes;
    } cases[] = {
        {"T", true},
        {"t", true},
        {"ｔｄ", true},
        {"ＴＤ", true},
        {" TD \r\n", true},
        {"退订。", true},
        {"退订!!", true},
        {"退订 ！", true},
        {"0000", true},
        {"０００００", false},
        {"stop.", true},
        {"Stop…", true},
        {"取消订阅", true},
        {"N", true},
        {"T 谢谢", false},
        {"不要退订", false},
        {"退订吗", false},
        {"TDD", false},
        {"", false},
        {"。", false},
        {"\xE3\x80\x80退订短信", true},  // an ideographic space before
        // "拒收请回复R": the reply is the letter alone, or the word.
        {"R", true},
        {"r", true},
        {"Ｒ。", true},
        {"拒收", true},
        {"拒收短信！", true},
        {"Really", false},
        {"RR", false},
        {"拒收请回复R", false},
        {"OK r", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(defaults.matches(G(c.text)), c.unsubscribes);
    }
    // The records of a receive answer: unmatched rows never unsubscribe; each sender once,
    // a country code taken off a mobile number.
    const std::vector<ReceivedRecord> records = {
        Reply("13900000001", "TD"),
        Reply("13900000002", "好的"),
        Reply("+8613900000003", "t"),
        Reply("13900000001", "退订"),
        Reply("8613900000004", "stop"),
        Reply("12345678901234", "T"),
        ReceivedRecord{false, "13900000005", "", G("TD")},
    };
    EXPECT_EQ(OptOutNumbersOf(records, defaults),
              (std::vector<std::string>{"13900000001", "13900000003", "13900000004"}));
}

TEST(OptOutKeywordsTest, SettingsComeFromTheOptOutSectionAlone) {
    TempFolder folder;
    struct Case {
        const char* ini;  // UTF-8
        const char* matching;
        const char* notMatching;
        bool autoAdd;
    } cases[] = {
        {"[Create_Line]\r\nline_index=0\r\n", "TD", "QX", true},
        {"[OptOut]\r\nAutoAdd=0\r\n", "退订", "QX", false},
        {"[OptOut]\r\nKeywords=QX， 不要了 ,,\r\nAutoAdd=1\r\n", "不要了。", "TD", true},
        {"[optout]\r\nkeywords=qx\r\nautoadd= 0 \r\n", "QX", "T", false},
        {"[OptOut]\r\nKeywords=\r\n", "", "T", true},  // an empty list matches nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini);
        folder.writeFile("Company_Info.ini", G(c.ini));
        const OptOutSettings s = ReadOptOutSettings(folder.file("Company_Info.ini"));
        EXPECT_EQ(s.keywords.matches(G(c.matching)), *c.matching != '\0');
        EXPECT_FALSE(s.keywords.matches(G(c.notMatching)));
        EXPECT_EQ(s.autoAdd, c.autoAdd);
    }
    EXPECT_TRUE(ReadOptOutSettings(folder.file("missing.ini")).keywords.matches("STOP"));
}

TEST(OptOutListTest, RoundTripKeepsEveryOtherLineAndDropsRepeats) {
    TempFolder folder;
    const std::string path = OptOutPathIn(folder.path());
    // LF and CR LF line ends, a bare number, a note, a blank line, a malformed line, a number
    // repeated, no line end at the very end.
    const std::string file =
        G("13900000001\t2024-05-01\t回复\r\n"
          "# 客户要求退订的号码\n"
          "\r\n"
          "  13900000002  \r\n"
          "+86 139\t2024-05-02\t手工\r\n"
          "13900000001\t2024-05-03\t导入\r\n"
          "0000 备注\r\n"
          "13900000003\t2024-05-04\t导入");
    folder.writeFile(kOptOutFileName, file);
    OptOutList list = OptOutList::Load(path);
    ASSERT_TRUE(list.ok()) << GbkToUtf8(list.errorMessage());
    EXPECT_EQ(list.size(), 4u);
    const auto entries = list.entries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].number, "13900000001");
    EXPECT_EQ(entries[0].date, "2024-05-01");
    EXPECT_EQ(entries[0].source, G("回复"));
    EXPECT_EQ(entries[1].number, "13900000002");
    EXPECT_EQ(entries[1].date, "");
    EXPECT_EQ(entries[2].number, "0000");
    for (const char* listed : {"13900000001", " 13900000002\t", "0000", "13900000003"})
        EXPECT_TRUE(list.contains(listed)) << listed;
    for (const char* notListed : {"00000", "000", "1390000000", "139", "", "+86 139"})
        EXPECT_FALSE(list.contains(notListed)) << notListed;

    // Through the file: an add, a remove; every line not touched keeps its bytes.
    const OptOutChange added = AddToOptOutFile(path, {"13900000009", "13900000002", "x1"},
                                               OptOutSource::Manual, "2024-06-01");
    EXPECT_FALSE(added.failed());
    EXPECT_EQ(added.changed, 1);
    EXPECT_EQ(added.unchanged, 1);
    EXPECT_EQ(added.invalid, 1);
    const OptOutChange removed = RemoveFromOptOutFile(path, {"13900000003", "13800000000"});
    EXPECT_EQ(removed.changed, 1);
    EXPECT_EQ(removed.unchanged, 1);
    EXPECT_EQ(ReadWholeFile(path).value_or(""), G("13900000001\t2024-05-01\t回复\r\n"
                                                  "# 客户要求退订的号码\r\n"
                                                  "\r\n"
                                                  "  13900000002  \r\n"
                                                  "+86 139\t2024-05-02\t手工\r\n"
                                                  "0000 备注\r\n"
                                                  "13900000009\t2024-06-01\t手工\r\n"));
    // Nothing to change: the file is not written.
    struct stat before {
    }, after{};
    ::stat(path.c_str(), &before);
    EXPECT_EQ(AddToOptOutFile(path, {"13900000009"}, OptOutSource::Reply).changed, 0);
    ::stat(path.c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);

    // A missing file is an empty list, created by the first addition.
    const std::string fresh = OptOutPathIn(folder.path() + "fresh");
    ::mkdir((folder.path() + "fresh").c_str(), 0755);
    EXPECT_TRUE(OptOutList::Load(fresh).ok());
    EXPECT_EQ(AddToOptOutFile(fresh, {"13900000001"}, OptOutSource::Import, "2024-01-02").changed,
              1);
    EXPECT_EQ(ReadWholeFile(fresh).value_or(""), "13900000001\t2024-01-02\t" + G("导入") + "\r\n");
    EXPECT_EQ(OptOutExportBytes(OptOutList::Load(fresh)),
              "13900000001\t2024-01-02\t" + G("导入") + "\r\n");

    // A marked UTF-8 file whose first line is "锘扛" (a mark misread once) becomes GBK that
    // begins with the mark's own bytes; written so, it read back as UTF-8 and garbled 回复.
    const std::string written =
        OptOutList::FromBytes("\xEF\xBB\xBF锘扛\r\n13900000001\t2024-05-01\t回复\r\n").toBytes();
    EXPECT_EQ(written, G("\r\n锘扛\r\n13900000001\t2024-05-01\t回复\r\n"));
    const OptOutList again = OptOutList::FromBytes(written);
    ASSERT_TRUE(again.ok() && again.entries().size() == 1u);
    EXPECT_EQ(again.entries()[0].source, G("回复"));
}

TEST(OptOutListTest, FilesThatAreNoListAreReportedAndNeverWritten) {
    TempFolder folder;
    const std::string big(kMaxOptOutFileBytes + 1, '1');
    struct Case {
        const char* name;
        std::string bytes;  // written as a file unless a directory or a FIFO is named
        OptOutState state;
        const char* message;  // UTF-8, the start of the message
    } cases[] = {
        {"utf8", "13900000001\t2024-05-01\t回复\r\n", OptOutState::NotGbk,
         "退订名单OptOut.txt不是GBK编码的文本文件"},
        {"nul", std::string("13900000001\0\r\n", 14), OptOutState::NotGbk,
         "退订名单OptOut.txt不是GBK编码的文本文件"},
        {"big", big, OptOutState::TooLarge, "退订名单OptOut.txt超过64MB"},
        {"dir", "<dir>", OptOutState::Unreadable, "退订名单OptOut.txt无法读取"},
        {"fifo", "<fifo>", OptOutState::Unreadable, "退订名单OptOut.txt无法读取"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = folder.path() + c.name + "/";
        ::mkdir(dir.c_str(), 0755);
        const std::string path = OptOutPathIn(dir);
        if (c.bytes == "<dir>")
            ::mkdir(path.c_str(), 0755);
        else if (c.bytes == "<fifo>")
            ::mkfifo(path.c_str(), 0644);
        else
            ASSERT_TRUE(WriteFileAtomically(path, c.bytes));

        const OptOutList list = OptOutList::Load(path);
        EXPECT_EQ(list.state(), c.state);
        EXPECT_EQ(GbkToUtf8(list.errorMessage()).rfind(c.message, 0), 0u)
            << GbkToUtf8(list.errorMessage());
        const OptOutChange change = AddToOptOutFile(path, {"13900000002"}, OptOutSource::Manual);
        EXPECT_TRUE(change.failed());
        EXPECT_EQ(change.changed, 0);
        if (c.bytes != "<dir>" && c.bytes != "<fifo>") {
            EXPECT_EQ(ReadWholeFile(path).value_or(""), c.bytes);
        }
        const OptOutSendPlan plan = PlanOptOutSend(path, {"13900000003"}, false, "");
        EXPECT_EQ(plan.refusal, OptOutSendRefusal::ListUnreadable);
        EXPECT_EQ(GbkToUtf8(OptOutSendRefusalMessage(plan.refusal)),
                  "退订名单无法读取，请检查OptOut.txt");
    }
    // A write that fails (no folder to write into) claims nothing.
    const OptOutChange change =
        AddToOptOutFile(folder.path() + "none/OptOut.txt", {"13900000001"}, OptOutSource::Manual);
    EXPECT_TRUE(change.failed());
    EXPECT_EQ(change.changed, 0);
    EXPECT_EQ(GbkToUtf8(change.error).rfind("退订名单保存失败", 0), 0u);
}

TEST(OptOutListTest, SendsLeaveListedNumbersOutButNeverTheVerificationNumber) {
    OptOutList list = OptOutList::FromBytes("13900000001\r\n13900000002\r\n13800000000\r\n");
    ASSERT_TRUE(list.ok());
    struct Case {
        std::vector<std::string> entries;
        bool verificationOn;
        std::string verification;
        std::vector<std::string> kept;
        int skipped;
    } cases[] = {
        {{"13900000001", "13900000003", " 13900000002 "}, false, "", {"13900000003"}, 2},
        // The verification number is listed itself: its copies stay, being marked "*".
        {{"13800000000", "13900000001", "13900000004", "13800000000"},
         true,
         " 13800000000",
         {"13800000000", "13900000004", "13800000000"},
         1},
        {{"13800000000", "13900000004"}, false, "13800000000", {"13900000004"}, 1},
        {{}, false, "", {}, 0},
        // The service reads every piece between "|" and "*" as a number: each is one entry.
        {{"13900000001|", "13900000003*", "13700000004|13900000002", "| 13700000005 |*|"},
         false,
         "",
         {"13900000003", "13700000004", " 13700000005 "},
         2},
        {{"13800000000|13900000001"}, true, "13800000000", {"13800000000"}, 1},
    };
    for (const Case& c : cases) {
        const OptOutFilter filter = FilterOptOut(list, c.entries, c.verificationOn, c.verification);
        EXPECT_EQ(filter.kept, c.kept);
        EXPECT_EQ(filter.skipped, c.skipped);
        EXPECT_EQ(CountOptOut(list, c.entries, c.verificationOn, c.verification), filter.skipped);
    }
    TempFolder folder;
    folder.writeFile(kOptOutFileName, list.toBytes());
    const std::string path = OptOutPathIn(folder.path());
    EXPECT_EQ(PlanOptOutSend(path, {"13900000001", "13900000002"}, false, "").refusal,
              OptOutSendRefusal::AllListed);
    const OptOutSendPlan plan = PlanOptOutSend(path, {"13900000001", "13700000000"}, false, "");
    EXPECT_EQ(plan.refusal, OptOutSendRefusal::None);
    EXPECT_EQ(plan.entries, std::vector<std::string>{"13700000000"});
    EXPECT_EQ(GbkToUtf8(WithOptOutSkipped(G("恭喜"), plan.skipped)), "恭喜\r已跳过1个退订号码");
    EXPECT_EQ(GbkToUtf8(WithOptOutSkipped(G("恭喜"), 0)), "恭喜");
}

TEST(OptOutListTest, EveryLineIsReadOrCountedAsUnreadable) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> numbers;
        std::string date;  // of the first entry
        size_t unreadable;
    } cases[] = {
        {"CR",
         "13900000001\r13900000002\t2024-05-01\r13900000003",
         {"13900000001", "13900000002", "13900000003"},
         "",
         0},
        {"CSV",
         G("13900000001,2024-05-01,回复\n13900000002，备注\r\n"),
         {"13900000001", "13900000002"},
         "2024-05-01",
         0},
        {"full-width",
         G("１３９０００００００１\t2024-05-01\r\n１００８６ 客服\r\n"),
         {"13900000001", "10086"},
         "2024-05-01",
         0},
        {"written",
         G("+86 139-0000-0001\r\n8613900000002\r\n139 0000 "
           "0003,x\r\n＋８６１３９０００００００４\r\n(0086) 139.0000.0005\r\n"),
         {"13900000001", "13900000002", "13900000003", "13900000004", "13900000005"},
         "",
         0},
        {"unreadable",
         G("张三 13900000001\r\n# 备注\r\n\r\n0755-12345678\r\n1390000000123\r\n13900000002\r\n"),
         {"13900000002"},
         "",
         3},
        {"UTF-16",
         test::Utf16File("13900000001\r\n１３９０００００００２\t2024-05-01\t回复\r\n"),
         {"13900000001", "13900000002"},
         "",
         0},
        {"UTF-8 mark",
         "\xEF\xBB\xBF"
         "13900000001\t2024-05-01\t\xE9\x80\x80\xE8\xAE\xA2\r\n",
         {"13900000001"},
         "2024-05-01",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        folder.writeFile(kOptOutFileName, c.bytes);
        const std::string path = OptOutPathIn(folder.path());
        const OptOutList list = OptOutList::Load(path);
        ASSERT_TRUE(list.ok()) << GbkToUtf8(list.errorMessage());
        std::vector<std::string> numbers;
        for (const OptOutList::Entry& e : list.entries())
            numbers.emplace_back(e.number);
        EXPECT_EQ(numbers, c.numbers);
        EXPECT_EQ(list.entries().front().date, c.date);
        EXPECT_EQ(list.unreadableLines(), c.unreadable);
        // A change keeps every line it does not touch, unreadable ones too.
        ASSERT_FALSE(RemoveFromOptOutFile(path, {c.numbers.back()}).failed());
        const OptOutList after = OptOutList::Load(path);
        EXPECT_EQ(after.size(), c.numbers.size() - 1);
        EXPECT_EQ(after.unreadableLines(), c.unreadable);
    }
    EXPECT_EQ(GbkToUtf8(OptOutUnreadableText(3)), "3行无法识别");
}

TEST(OptOutListTest, AChangePastTheSizeLimitIsRefusedBeforeWriting) {
    TempFolder folder;
    const std::string path = OptOutPathIn(folder.path());
    const std::string nearlyFull = "#" + std::string(kMaxOptOutFileBytes - 40, 'x') + "\r\n";
    ASSERT_TRUE(WriteFileAtomically(path, nearlyFull));
    const OptOutChange refused =
        AddToOptOutFile(path, {"13900000001", "13900000002"}, OptOutSource::Import);
    EXPECT_EQ(refused.changed, 0);
    EXPECT_EQ(GbkToUtf8(refused.error).rfind("退订名单将超过64MB", 0), 0u)
        << GbkToUtf8(refused.error);
    EXPECT_EQ(ReadWholeFile(path).value_or("").size(), nearlyFull.size());
    EXPECT_EQ(AddToOptOutFile(path, {"13900000001"}, OptOutSource::Import).changed, 1);
    EXPECT_TRUE(OptOutList::Load(path).contains("13900000001"));
}

TEST(OptOutListTest, ImportReadsUnicodeAndMarkedUtf8Files) {
    TempFolder folder;
    const std::string path = OptOutPathIn(folder.path());
    folder.writeFile("u16.txt", test::Utf16File("客户13700000001，13700000002"));
    folder.writeFile("u16be.txt", test::Utf16File("13700000003", false));
    folder.writeFile("u8.txt", "\xEF\xBB\xBF\xE5\xAE\xA2 137-0000-0004\r\n13700000004");
    const std::pair<const char*, int> files[] = {{"u16.txt", 2}, {"u16be.txt", 1}, {"u8.txt", 1}};
    for (const auto& [name, found] : files) {
        const OptOutImport import = ImportIntoOptOutFile(path, folder.file(name), "2024-05-01");
        EXPECT_EQ(import.found, found) << name;
        EXPECT_EQ(import.change.changed, found) << name;
    }
    EXPECT_EQ(OptOutList::Load(path).size(), 4u);
}

}  // namespace
