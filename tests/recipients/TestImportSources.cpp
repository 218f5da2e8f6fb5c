// Bulk imports apart from any window: candidates, entry tests, the cap, the add plans with
// and without the verification number, batching, and the worker routine's events.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Gbk.h"
#include "recipients/ImportSources.h"
#include "recipients/PhoneRules.h"
#include "recipients/SpreadsheetReader.h"
#include "tests/recipients/RecipientFixtures.h"
#include "tests/recipients/SpreadsheetFixtures.h"
#include "tests/support/TempDataDir.h"
#include "tests/support/TextEncodings.h"

using namespace smsc;
using smsc::test::CrlfLines;
using smsc::test::Numbers;
using smsc::test::TempFolder;
using Strings = std::vector<std::string>;

namespace {

const std::string A = "13800000001", B = "13900000002", C = "15000000003";
const std::string V = "10086";

std::optional<VerificationCopy> verify(long long interval) {
    return VerificationCopy{V, interval};
}

// Positions of the verification copies among the entries, counted in candidates: the
// index of the entry that follows each copy, less the copies before it.
std::vector<long long> copyPositions(const AddPlan& plan) {
    std::vector<long long> out;
    long long copies = 0;
    for (size_t i = 0; i < plan.entries.size(); ++i) {
        if (plan.entries[i] == V) {
            out.push_back(static_cast<long long>(i) - copies);
            ++copies;
        }
    }
    return out;
}

// Records the worker routine's events as text, in order.
class RecordingEvents final : public ImportEvents {
public:
    void status(const std::string& text) override { log.push_back("status " + GbkToUtf8(text)); }
    void refuseOverCap(SourceRead read) override {
        log.push_back("refuse " + std::to_string(read.candidates.size()));
    }
    void tally(const ImportTally& t) override { summary = GbkToUtf8(ImportSummary(t)); }
    void failed(ImportFailure failure) override {
        log.push_back(failure == ImportFailure::TextFileUnreadable ? "failed text"
                                                                   : "failed spreadsheet");
    }
    void beginAdding(long long maximum) override {
        log.push_back("adding " + std::to_string(maximum));
    }
    void addBatch(ImportBatch batch) override {
        log.push_back("batch " + std::to_string(batch.entries.size()) + " " +
                      std::to_string(batch.progressSteps));
        for (std::string& entry : batch.entries)
            entries.push_back(std::move(entry));
        steps += batch.progressSteps;
    }
    Strings log;
    Strings entries;
    long long steps = 0;
    std::string summary;
};

}  // namespace

TEST(ImportCandidates, TextImportDropsRepeatedAndBlankLines) {
    const std::string file = A + "\r\n" + B + "\r\n" + A + "\r\n\r\n" + C + "\r\n";
    const AddPlan plan =
        BuildAddPlan(ImportKind::TextFileImport, TextImportCandidates(file), std::nullopt);
    EXPECT_EQ(plan.entries, (Strings{A, B, C}));
    // Every candidate is one step, the empty last element included.
    EXPECT_EQ(plan.progressMaximum, 4);
    EXPECT_EQ(plan.totalSteps, 4);
}

// Deliberately changed: a line also ends at a lone LF or CR (a file saved on Linux used to be
// one entry of all its numbers); a CR LF file gives exactly what splitting at CR gave.
TEST(ImportCandidates, ChangedToSplitAtEveryKindOfLineEnd) {
    struct Case {
        const char* what;
        std::string file;
        Strings entries;
        long long candidates;  // L, the empty last element included
    };
    const Case cases[] = {
        {"LF", A + "\n" + B + "\n" + A + "\n\n" + C + "\n", {A, B, C}, 4},
        {"LF, no final break", A + "\n" + B + "\n" + C, {A, B, C}, 3},
        {"lone CR", A + "\r" + B + "\r" + C + "\r", {A, B, C}, 4},
        {"mixed", A + "\r\n" + B + "\n" + C + "\r" + A, {A, B, C}, 4},
        {"CR LF", A + "\r\n" + B + "\r\n" + A + "\r\n\r\n" + C + "\r\n", {A, B, C}, 4},
        {"blank lines only", "\n \r\n\r", {}, 1},
        {"LF keeps blanks inside a line", " 138 0000 0001\n" + A, {" 138 0000 0001", A}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const AddPlan plan =
            BuildAddPlan(ImportKind::TextFileImport, TextImportCandidates(c.file), std::nullopt);
        EXPECT_EQ(plan.entries, c.entries);
        EXPECT_EQ(plan.progressMaximum, c.candidates);
    }

    // 5000 numbers one per LF line are 5000 entries; as CR LF lines, what the CR split gives.
    std::string lf, crlf;
    for (int i = 0; i < 5000; ++i) {
        lf += std::to_string(13800000000LL + i) + "\n";
        crlf += std::to_string(13800000000LL + i) + "\r\n";
    }
    const AddPlan fromLf =
        BuildAddPlan(ImportKind::TextFileImport, TextImportCandidates(lf), std::nullopt);
    EXPECT_EQ(fromLf.entries.size(), 5000u);
    EXPECT_EQ(fromLf.entries.front(), "13800000000");
    const AddPlan fromCrlf =
        BuildAddPlan(ImportKind::TextFileImport, TextImportCandidates(crlf), std::nullopt);
    const AddPlan atCr =
        BuildAddPlan(ImportKind::TextFileImport, SplitLinesUnique(crlf, "\r"), std::nullopt);
    EXPECT_EQ(fromCrlf.entries, atCr.entries);
    EXPECT_EQ(fromCrlf.progressMaximum, atCr.progressMaximum);
    EXPECT_EQ(fromCrlf.entries, fromLf.entries);
}

TEST(ImportCandidates, ImportKeepsAnyLineExtractKeepsNumbers) {
    const std::string file = "hello world\r\n138 0000 0001\r\n" + A + "\r\ncall " + B + " now";
    EXPECT_EQ(
        BuildAddPlan(ImportKind::TextFileImport, TextImportCandidates(file), std::nullopt).entries,
        (Strings{"hello world", "138 0000 0001", A, "call " + B + " now"}));
    EXPECT_EQ(
        BuildAddPlan(ImportKind::TextFileExtract, ExtractCandidates(file), std::nullopt).entries,
        (Strings{A, B}));
}

TEST(ImportCandidates, EntryTestsByKind) {
    EXPECT_TRUE(PassesEntryTest(ImportKind::TextFileImport, "\nabc"));
    EXPECT_FALSE(PassesEntryTest(ImportKind::TextFileImport, "\n"));
    EXPECT_TRUE(PassesEntryTest(ImportKind::TextFileImport, "  "));  // blanks are kept
    // The extractor finds 143 numbers, which the mobile check refuses.
    EXPECT_FALSE(PassesEntryTest(ImportKind::ClipboardExtract, "14312345678"));
    EXPECT_TRUE(PassesEntryTest(ImportKind::ClipboardExtract, "14712345678"));
    EXPECT_TRUE(PassesEntryTest(ImportKind::ExcelExtract, " 13800000000 "));
    EXPECT_FALSE(PassesEntryTest(ImportKind::ExcelExtract, "1380000000012"));
    EXPECT_EQ(AddedText("\n 138\r"), " 138");
}

TEST(ImportCap, CountsCandidatesAndCountedCopies) {
    EXPECT_EQ(CountedCopies(250, verify(100)), 2);
    EXPECT_EQ(CountedCopies(250, std::nullopt), 0);
    EXPECT_FALSE(ExceedsRecipientCap(30000, 0));
    EXPECT_TRUE(ExceedsRecipientCap(30001, 0));
    EXPECT_TRUE(ExceedsRecipientCap(29800, CountedCopies(29800, verify(100))));  // 29800 + 298
}

TEST(ImportPlan, VerificationWithFewerCandidatesThanInterval) {
    const AddPlan plan = BuildAddPlan(ImportKind::ClipboardExtract, Numbers(10), verify(1000));
    Strings expected = {V};
    for (const std::string& n : Numbers(10))
        expected.push_back(n);
    EXPECT_EQ(plan.entries, expected);
    EXPECT_EQ(plan.progressMaximum, 10);
    EXPECT_EQ(plan.totalSteps, 11);
}

// Interval 100 and 250 candidates: E = 2, maximum 252, copies before 0, 100 and 200.
TEST(ImportPlan, VerificationEveryIntervalBothVariants) {
    for (ImportKind kind : {ImportKind::TextFileExtract, ImportKind::TextFileImport,
                            ImportKind::ClipboardExtract, ImportKind::ExcelExtract}) {
        const AddPlan plan = BuildAddPlan(kind, Numbers(250), verify(100));
        EXPECT_EQ(plan.progressMaximum, 252);
        EXPECT_EQ(plan.entries.size(), 253u);
        EXPECT_EQ(copyPositions(plan), (std::vector<long long>{0, 100, 200}));
        EXPECT_EQ(plan.totalSteps, 253);
        const AddPlan two = BuildAddPlan(kind, Numbers(200), verify(100));
        EXPECT_EQ(copyPositions(two), (std::vector<long long>{0, 100}));
        EXPECT_EQ(two.progressMaximum, 202);
    }
}

// Where the variants differ: a candidate that fails its test at a copy position.
TEST(ImportPlan, FailingCandidateAtCopyPosition) {
    Strings candidates = Numbers(250);
    candidates[100] = "\r\n";  // fails the text kinds' test
    AddPlan text = BuildAddPlan(ImportKind::TextFileImport, candidates, verify(100));
    // The text kinds still put the copy there (it is followed by candidate 101).
    EXPECT_EQ(std::count(text.entries.begin(), text.entries.end(), V), 3);
    EXPECT_EQ(text.entries[101], V);
    EXPECT_EQ(text.entries[102], candidates[101]);

    candidates[100] = "14312345678";  // found by the extractor, refused by the mobile check
    AddPlan clip = BuildAddPlan(ImportKind::ClipboardExtract, candidates, verify(100));
    // The copy is skipped and none follows at 200, since j no longer matches.
    EXPECT_EQ(copyPositions(clip), (std::vector<long long>{0}));
    EXPECT_EQ(clip.entries.size(), 250u);
    EXPECT_EQ(clip.totalSteps, 251);
}

TEST(ImportBatches, OrderAndStepsArePreserved) {
    Strings candidates = Numbers(25);
    candidates.push_back("\r\n");  // a last step that adds nothing
    AddPlan plan = BuildAddPlan(ImportKind::TextFileImport, candidates, verify(10));
    const Strings all = plan.entries;
    const long long steps = plan.totalSteps;
    const std::vector<ImportBatch> batches = SplitIntoBatches(std::move(plan), 7);
    ASSERT_EQ(batches.size(), 4u);  // 28 entries: 7, 7, 7, 7
    Strings joined;
    long long counted = 0;
    for (const ImportBatch& batch : batches) {
        EXPECT_LE(batch.entries.size(), 7u);
        joined.insert(joined.end(), batch.entries.begin(), batch.entries.end());
        counted += batch.progressSteps;
    }
    EXPECT_EQ(joined, all);
    EXPECT_EQ(counted, steps);
    EXPECT_TRUE(SplitIntoBatches(AddPlan{}, 10).empty());
    // Steps without entries still reach the panel.
    const auto stepsOnly =
        SplitIntoBatches(BuildAddPlan(ImportKind::TextFileImport, {"\r\n"}, std::nullopt), 10);
    ASSERT_EQ(stepsOnly.size(), 1u);
    EXPECT_TRUE(stepsOnly[0].entries.empty());
    EXPECT_EQ(stepsOnly[0].progressSteps, 1);
}

class ImportRoutine : public ::testing::Test {
protected:
    ImportOutcome run(ImportKind kind, const std::string& payload,
                      std::optional<VerificationCopy> verification = std::nullopt) {
        return RunImport({kind, payload, verification}, events, 4096);
    }
    TempFolder folder;
    RecordingEvents events;
};

TEST_F(ImportRoutine, EventsInOrder) {
    folder.writeFile("a.txt", CrlfLines(Numbers(5000), false));
    EXPECT_EQ(run(ImportKind::TextFileImport, folder.file("a.txt")), ImportOutcome::Added);
    EXPECT_EQ(events.log, (Strings{"status 开始读取文本文件，请稍候........",
                                   "status 文件读取完毕，开始导入号码，请稍候........",
                                   "adding 5000", "batch 4096 4096", "batch 904 904"}));
    EXPECT_EQ(events.entries, Numbers(5000));
}

// Deliberately changed: the cap counts numbers, so a final line break no longer makes 30000
// numbers one too many; 30001 numbers are refused with every candidate handed over.
TEST_F(ImportRoutine, ChangedCapCountsNumbersNotTheFinalLineBreak) {
    folder.writeFile("with.txt", CrlfLines(Numbers(30000), true));
    folder.writeFile("without.txt", CrlfLines(Numbers(30000), false));
    folder.writeFile("over.txt", CrlfLines(Numbers(30001), true));
    for (const ImportKind kind : {ImportKind::TextFileImport, ImportKind::TextFileExtract}) {
        for (const char* name : {"with.txt", "without.txt"}) {
            events = RecordingEvents();
            EXPECT_EQ(run(kind, folder.file(name)), ImportOutcome::Added) << name;
            EXPECT_EQ(events.entries.size(), 30000u);
            EXPECT_EQ(events.steps, 30000);
            EXPECT_EQ(events.summary, "读取30000行：添加30000个，重复0个，无法识别0个");
        }
        events = RecordingEvents();
        EXPECT_EQ(run(kind, folder.file("over.txt")), ImportOutcome::Refused);
        EXPECT_EQ(events.log.back(), "refuse 30001");
        EXPECT_TRUE(events.entries.empty());
    }
    EXPECT_EQ(CandidatesUnderCap(std::nullopt), 30000);
    EXPECT_EQ(CandidatesUnderCap(verify(100)), 29703);  // 29703 + 297 copies

    // The verification copies counted by the cap: 29800 + 298 is over it.
    events = RecordingEvents();
    folder.writeFile("near.txt", CrlfLines(Numbers(29800), false));
    EXPECT_EQ(run(ImportKind::TextFileExtract, folder.file("near.txt"), verify(100)),
              ImportOutcome::Refused);
}

// Deliberately changed: a text file saved as "Unicode" (UTF-16) or as UTF-8 with its mark is
// read as the text it holds; before, the first gave no number at all and the second spoilt
// the first entry with the mark's bytes. Any other file is still taken as GBK bytes.
TEST_F(ImportRoutine, ChangedToReadUnicodeAndMarkedUtf8TextFiles) {
    const std::string list = "客户名单\r\n" + A + "\r\n" + B + "\r\n";
    const std::pair<const char*, std::string> files[] = {
        {"GBK", G(list)},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" + list},
        {"UTF-16", test::Utf16File(list)},
        {"UTF-16 big-endian", test::Utf16File(list, false)},
    };
    for (const auto& [name, bytes] : files) {
        folder.writeFile("list.txt", bytes);
        events = RecordingEvents();
        run(ImportKind::TextFileImport, folder.file("list.txt"));
        EXPECT_EQ(events.entries, (Strings{G("客户名单"), A, B})) << name;
        events = RecordingEvents();
        run(ImportKind::TextFileExtract, folder.file("list.txt"));
        EXPECT_EQ(events.entries, (Strings{A, B})) << name;
    }
}

TEST_F(ImportRoutine, UnreadableSources) {
    EXPECT_EQ(run(ImportKind::TextFileExtract, folder.file("missing.txt")), ImportOutcome::Failed);
    EXPECT_EQ(events.log, (Strings{"status 开始读取文本文件，请稍候........", "failed text"}));

    events = RecordingEvents();
    EXPECT_EQ(run(ImportKind::TextFileImport, folder.path()), ImportOutcome::Failed);  // a folder
    EXPECT_EQ(events.log.back(), "failed text");

    events = RecordingEvents();
    folder.writeFile("garbage.xls", "\xD0\xCF\x11\xE0 not really");
    EXPECT_EQ(run(ImportKind::ExcelExtract, folder.file("garbage.xls")), ImportOutcome::Failed);
    EXPECT_EQ(events.log,
              (Strings{"status 开始读取Excel文件，请稍候........", "failed spreadsheet"}));
}

TEST_F(ImportRoutine, SpreadsheetAndClipboard) {
    test::WriteXlsx(folder.file("n.xlsx"), {{test::FixtureCell::num(1, 1, 15000000003.0),
                                             test::FixtureCell::str(2, 1, " " + A + " "),
                                             test::FixtureCell::num(3, 1, 15000000003.0)}});
    EXPECT_EQ(run(ImportKind::ExcelExtract, folder.file("n.xlsx")), ImportOutcome::Added);
    EXPECT_EQ(events.entries, (Strings{A, "15000000003"}));
    EXPECT_EQ(events.log[1], "status Excel文件读取完毕，开始导入号码，请稍候........");

    events = RecordingEvents();
    EXPECT_EQ(run(ImportKind::ClipboardExtract, ""), ImportOutcome::Added);
    EXPECT_EQ(events.log,
              (Strings{"status 开始读取剪切板内容，请稍候........",
                       "status 剪切板内容读取完毕，开始导入号码，请稍候........", "adding 0"}));

    events = RecordingEvents();
    run(ImportKind::ClipboardExtract, G("电话：") + B + "，" + A + "；" + B);
    EXPECT_EQ(events.entries, (Strings{B, A}));
}

// What each kind takes from numbers written as users write them, and what it says it left.
TEST_F(ImportRoutine, SummaryOfFormattedNumbersRepeatsAndUnrecognisedLines) {
    const std::string list =
        "姓名,手机\r\n张三,138-0000-0001\r\n李四,+86 139 0000 0002\r\n"
        "王五,(0086)150 0000 0003\r\n订单号：2024120913800001004\r\n"
        "重复,13800000001\r\n\r\n";
    struct Case {
        ImportKind kind;
        Strings entries;
        const char* summary;
    };
    const Case cases[] = {
        {ImportKind::TextFileExtract, {A, B, C}, "读取6行：添加3个，重复1个，无法识别2个"},
        {ImportKind::ClipboardExtract, {A, B, C}, "读取6行：添加3个，重复1个，无法识别2个"},
        // Every line is taken; those that are one number, as the number.
        {ImportKind::TextFileImport,
         {G("姓名,手机"), G("张三,138-0000-0001"), G("李四,+86 139 0000 0002"),
          G("王五,(0086)150 0000 0003"), G("订单号：2024120913800001004"), G("重复,13800000001")},
         "读取6行：添加6个，重复0个，无法识别0个"},
    };
    folder.writeFile("list.txt", G(list));
    for (const Case& c : cases) {
        events = RecordingEvents();
        run(c.kind, c.kind == ImportKind::ClipboardExtract ? G(list) : folder.file("list.txt"));
        EXPECT_EQ(events.entries, c.entries);
        EXPECT_EQ(events.summary, c.summary);
    }
    const SourceRead read = ReadExtract(G(list));
    EXPECT_EQ(read.tally.unrecognisedLines,
              (Strings{G("姓名,手机"), G("订单号：2024120913800001004")}));
    EXPECT_EQ(ReadTextImport(A + "\r\n138-0000-0001\r\n" + B).candidates, (Strings{A, B}));
}

// A member list as a CRM exports it: a heading, then name, number in several written forms
// and company; every member is added, and the heading and the closing line are the rows in
// which no number was recognised.
TEST_F(ImportRoutine, MemberSpreadsheetWithFormattedNumbers) {
    test::FixtureSheet sheet = {test::FixtureCell::str(1, 1, "姓名"),
                                test::FixtureCell::str(1, 2, "手机"),
                                test::FixtureCell::str(1, 3, "单位")};
    const Strings numbers = Numbers(3000, 13900000000LL);
    for (uint32_t i = 0; i < 3000; ++i) {
        const std::string& n = numbers[i];
        const std::string forms[] = {
            n.substr(0, 3) + "-" + n.substr(3, 4) + "-" + n.substr(7),
            "+86 " + n.substr(0, 3) + " " + n.substr(3, 4) + " " + n.substr(7),
            n.substr(0, 3) + " " + n.substr(3, 4) + " " + n.substr(7)};
        sheet.push_back(test::FixtureCell::str(i + 2, 1, "会员" + std::to_string(i)));
        sheet.push_back(test::FixtureCell::str(i + 2, 2, forms[i % 3]));
        sheet.push_back(test::FixtureCell::str(i + 2, 3, "星辰科技"));
    }
    sheet.push_back(test::FixtureCell::str(3002, 1, "以上共3000人"));
    std::string remark;
    for (int i = 0; i < 500; ++i)
        remark += "备";
    sheet.push_back(test::FixtureCell::str(3003, 2, remark));
    test::WriteXlsx(folder.file("members.xlsx"), {sheet});
    EXPECT_EQ(run(ImportKind::ExcelExtract, folder.file("members.xlsx")), ImportOutcome::Added);
    EXPECT_EQ(events.entries, numbers);
    EXPECT_EQ(events.summary, "读取3003行：添加3000个，重复0个，无法识别3个");
    // Cells come column by column: a row is unrecognised only once all of it is read. A long
    // text is kept only in part (40 characters: 120 bytes of UTF-8).
    const std::string shown = G(remark.substr(0, 120));
    EXPECT_EQ(ReadSpreadsheetNumbersTallied(folder.file("members.xlsx"))->tally.unrecognisedLines,
              (Strings{G("姓名"), G("以上共3000人"), shown}));
}
