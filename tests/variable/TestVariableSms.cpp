#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "campaign/CampaignJournal.h"
#include "campaign/CampaignRun.h"
#include "platform/Gbk.h"
#include "tests/recipients/SpreadsheetFixtures.h"
#include "tests/support/TempDataDir.h"
#include "variable/VariableSms.h"

namespace {

using namespace smsc;
using namespace smsc::variable;

std::string fieldsOf(const ParsedTemplate& parsed) {
    std::string out;
    for (const TemplatePart& part : parsed.parts)
        out += part.field ? "{" + GbkToUtf8(part.text) + "}" : "[" + GbkToUtf8(part.text) + "]";
    return out;
}

TEST(VariableTemplate, ParsesFieldsAndReportsErrorsWithPositions) {
    struct Case {
        const char* text;
        const char* parts;  // "" when an error is expected
        size_t errorAt;
        size_t warnings;
    } cases[] = {
        {"尊敬的{姓名}，您的订单{订单号}已发货", "[尊敬的]{姓名}[，您的订单]{订单号}[已发货]", 0,
         0},
        {"没有字段", "[没有字段]", 0, 0},
        {"{{字面}}大括号{ 姓名 }", "[{字面}大括号]{姓名}", 0, 0},
        {"{姓名}{订单号}", "{姓名}{订单号}", 0, 1},  // side by side
        {"查看 http://a.cn/?id={订单号} 谢谢", "[查看 http://a.cn/?id=]{订单号}[ 谢谢]", 0, 1},
        {"您好{姓名", "", 3, 0},  // unclosed
        {"您好}", "", 3, 0},      // stray
        {"ab{}", "", 3, 0},       // empty name
        {"a{b{c}", "", 2, 0},     // brace in the name
        {"a{名\r\n}", "", 2, 0},  // line break in the name
    };
    for (const Case& c : cases) {
        const ParsedTemplate parsed = ParseTemplate(G(c.text));
        SCOPED_TRACE(c.text);
        if (*c.parts) {
            EXPECT_TRUE(parsed.ok()) << GbkToUtf8(parsed.error);
            EXPECT_EQ(fieldsOf(parsed), c.parts);
            EXPECT_EQ(parsed.warnings.size(), c.warnings);
        } else {
            EXPECT_FALSE(parsed.ok());
            EXPECT_EQ(parsed.errorPosition, c.errorAt);
            EXPECT_NE(GbkToUtf8(parsed.error).find("第" + std::to_string(c.errorAt) + "个字符"),
                      std::string::npos);
        }
    }
}

TEST(VariableTable, FindsTheNumberColumnByItsHeader) {
    const std::vector<std::string> office = {G("姓名"), G("联系电话"), G("手机号码")};
    EXPECT_EQ(FindNumberColumn(office), 2);  // an exact name before one that holds a name
    EXPECT_EQ(FindNumberColumn({G("姓名"), G("联系电话")}), 1);
    EXPECT_EQ(FindNumberColumn({"Name", "Mobile"}), 1);
    EXPECT_EQ(FindNumberColumn({G("姓名"), G("金额")}), -1);
    EXPECT_EQ(FindNumberColumn(office, G("联系电话")), 1);
    EXPECT_EQ(FindNumberColumn(office, G("不存在")), -1);
}

VariableTable table(const std::vector<std::vector<const char*>>& rows) {
    VariableTable t;
    for (const char* h : rows.front())
        t.headers.push_back(G(h));
    for (size_t i = 1; i < rows.size(); ++i) {
        TableRow row;
        row.row = static_cast<uint32_t>(i + 1);
        for (const char* cell : rows[i])
            row.cells.push_back(G(cell));
        t.rows.push_back(row);
    }
    return t;
}

std::string findingsOf(const VariablePlan& plan) {
    std::string out;
    for (const RowFinding& f : plan.findings)
        out += std::to_string(f.row) + ":" + GbkToUtf8(RowProblemName(f.problem)) +
               (f.skipped ? "-" : "+") + " ";
    return out;
}

TEST(VariablePlan, ChecksEveryRowAndGroupsTheSameTexts) {
    const VariableTable t = table({
        {"姓名", "手机号码", "订单号"},
        {"王伟", "13800000001", "A1"},
        {"李娜", "+86 138-0000-0002", "A2"},
        {"王伟", "138 0000 0003", "A1"},           // same text as row 2
        {"张三", "12345", "A4"},                   // no mobile number
        {"赵六", "13800000001", "A5"},             // repeat of row 2
        {"周七", "13800000009", "A6"},             // opted out
        {"吴八", "13800000008", ""},               // empty field
        {"多行\r\n名字", "13800000007", "A|B*C"},  // line break stripped, separators kept
        {"吴八", "13800000008", "A9"},             // row 8 was left out: this one goes
    });
    PlanOptions options;
    options.optedOut = [](const std::string& n) { return n == "13800000009"; };
    const ParsedTemplate parsed = ParseTemplate(G("{姓名}您好，订单{订单号}已发货"));

    const VariablePlan plan = PlanVariableSms(parsed, t, options);
    ASSERT_TRUE(plan.ok()) << GbkToUtf8(plan.error);
    EXPECT_EQ(findingsOf(plan), "5:号码无法识别- 6:号码重复- 7:已退订- 8:空单元格- ");
    ASSERT_EQ(plan.groups.size(), 4u);
    EXPECT_EQ(plan.groups[0].numbers, (std::vector<std::string>{"13800000001", "13800000003"}));
    EXPECT_EQ(plan.groups[0].rows, (std::vector<uint32_t>{2, 4}));
    EXPECT_EQ(GbkToUtf8(plan.groups[2].outgoing), "多行名字您好，订单A|B*C已发货");
    EXPECT_EQ(plan.totals.rows, 9);
    EXPECT_EQ(plan.totals.sending, 5);
    EXPECT_EQ(plan.totals.skipped, 4);
    EXPECT_EQ(plan.totals.texts, 4);
    EXPECT_EQ(plan.totals.requests, 4);
    EXPECT_EQ(plan.totals.units, 5);

    // Empty cells left empty instead; a long cell needs more pieces than the template.
    options.emptyCells = EmptyCellPolicy::LeaveEmpty;
    VariableTable longer = t;
    longer.rows[0].cells[2] = std::string(80, 'x');
    const VariablePlan kept = PlanVariableSms(parsed, longer, options);
    EXPECT_EQ(findingsOf(kept),
              "2:超过模板条数+ 5:号码无法识别- 6:号码重复- 7:已退订- 8:空单元格+ 10:号码重复- ");
    EXPECT_EQ(kept.totals.sending, 5);
    EXPECT_EQ(kept.groups[0].pieces.size(), 2u);
    EXPECT_EQ(kept.totals.units, 2 + 1 + 1 + 1 + 1);
}

TEST(VariablePlan, RefusesWhatCannotBeSentAndCutsBigGroupsIntoRequests) {
    const VariableTable t = table({{"姓名", "手机"}, {"王伟", "13800000001"}});
    EXPECT_NE(GbkToUtf8(PlanVariableSms(ParseTemplate(G("{金额}元")), t, {}).error).find("{金额}"),
              std::string::npos);
    EXPECT_FALSE(PlanVariableSms(ParseTemplate(G("{姓名")), t, {}).ok());
    PlanOptions chosen;
    chosen.numberColumn = G("号码");
    EXPECT_FALSE(PlanVariableSms(ParseTemplate(G("{姓名}")), t, chosen).ok());

    // A blocking finding of the check marks the text; a signature added goes out.
    PlanOptions checked;
    checked.check = [](const std::string& gbk) {
        ComplianceReport report;
        report.outgoing = gbk + G("【公司】");
        report.findings.push_back({"x", FindingLevel::Error, "bad", {}});
        return report;
    };
    const VariablePlan plan = PlanVariableSms(ParseTemplate(G("{姓名}好")), t, checked);
    ASSERT_EQ(plan.groups.size(), 1u);
    EXPECT_TRUE(plan.groups[0].blocked);
    EXPECT_EQ(GbkToUtf8(plan.groups[0].outgoing), "王伟好【公司】");
    EXPECT_EQ(plan.totals.blockedTexts, 1);

    // One text to 2500 numbers in batches of 1000: three requests.
    VariableTable many;
    many.headers = {G("手机号码")};
    for (int i = 0; i < 2500; ++i)
        many.rows.push_back({static_cast<uint32_t>(i + 2), {std::to_string(13900000000LL + i)}});
    PlanOptions small;
    small.batchSize = 1000;
    const VariablePlan big = PlanVariableSms(ParseTemplate(G("通知")), many, small);
    EXPECT_EQ(big.totals.texts, 1);
    EXPECT_EQ(big.totals.requests, 3);
    EXPECT_EQ(big.totals.units, 2500);
}

TEST(VariableTable, ReadsSpreadsheetsAndTextFiles) {
    test::TempFolder folder;
    using test::FixtureCell;
    test::WriteXlsx(folder.file("t.xlsx"),
                    {{FixtureCell::str(1, 1, "姓名"), FixtureCell::str(1, 2, "手机号码"),
                      FixtureCell::str(2, 1, "王伟"), FixtureCell::num(2, 2, 13800000001.0),
                      FixtureCell::str(4, 1, "李娜"), FixtureCell::str(4, 2, "138-0000-0002")}});
    folder.writeFile("t.csv", "\xEF\xBB\xBF姓名,手机号码\r\n\"王,伟\",13800000001\r\n");
    folder.writeFile("t.txt", G("姓名\t手机号码\r\n王伟\t13800000001\r\n\r\n李娜\t13800000002"));
    folder.writeFile("empty.csv", "");
    struct Case {
        const char* file;
        size_t rows;
        const char* firstName;  // "" when unreadable
    } cases[] = {{"t.xlsx", 2, "王伟"}, {"t.csv", 1, "王,伟"},   {"t.txt", 2, "王伟"},
                 {"empty.csv", 0, ""},  {"missing.xlsx", 0, ""}, {"", 0, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::string error;
        const std::optional<VariableTable> t = ReadVariableTable(folder.file(c.file), &error);
        if (!*c.firstName) {
            EXPECT_FALSE(t);
            EXPECT_FALSE(error.empty());
            continue;
        }
        ASSERT_TRUE(t) << GbkToUtf8(error);
        EXPECT_EQ(t->headers, (std::vector<std::string>{G("姓名"), G("手机号码")}));
        ASSERT_EQ(t->rows.size(), c.rows);
        EXPECT_EQ(GbkToUtf8(t->rows[0].cells[0]), c.firstName);
    }
}

}  // namespace

namespace {

TEST(VariableJournal, EachTextHasBatchesAndPiecesOfItsOwnAndADamagedOneIsRefused) {
    test::TempFolder folder;
    campaign::CampaignSettings settings;
    settings.user = "demo";
    settings.batchSize = 2;
    const std::vector<campaign::CampaignText> texts = {
        {{"13800000001", "13800000002", "13800000003"}, {G("（1/2）甲"), G("（2/2）乙")}},
        {{"13800000004"}, {G("丙")}},
    };
    std::string error;
    const std::string path = folder.file("v.sqlite");
    ASSERT_TRUE(campaign::CampaignJournal::CreateVariable(path, settings, texts, &error)) << error;
    auto journal = campaign::CampaignJournal::Open(path, &error);
    ASSERT_TRUE(journal) << error;
    EXPECT_TRUE(journal->settings().variable);
    EXPECT_EQ(journal->numberCount(), 4);
    EXPECT_EQ(journal->batchCount(), 3);
    ASSERT_EQ(journal->requests().size(), 5u);
    EXPECT_EQ(journal->piecesOf(2), 2);
    EXPECT_EQ(journal->piecesOf(3), 1);
    EXPECT_EQ(GbkToUtf8(campaign::RequestLabel(*journal, journal->requests()[4])),
              "第3批（共3批）第1条（共1条）");
    EXPECT_EQ(journal->batchNumberString(3, &error), "13800000004|");
    journal.reset();

    // A batch that lost its first piece no longer reads as a journal.
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        sqlite3_exec(db, "DELETE FROM requests WHERE batch = 2 AND piece = 1", nullptr, nullptr,
                     nullptr);
        sqlite3_close(db);
    }
    EXPECT_FALSE(campaign::CampaignJournal::Open(path, &error));
    EXPECT_NE(error.find("损坏"), std::string::npos) << error;
}

}  // namespace
