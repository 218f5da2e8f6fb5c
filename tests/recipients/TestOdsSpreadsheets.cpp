// OpenDocument spreadsheets (.ods): a file LibreOffice saved, repeated cells and rows taken as
// runs, huge repeat counts, values as text, and the package told apart by its content.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/Gbk.h"
#include "recipients/SpreadsheetReader.h"
#include "tests/recipients/SpreadsheetFixtures.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using smsc::test::TempFolder;
using Strings = std::vector<std::string>;

namespace {

const std::string kLibreOfficeFile = std::string(SMSC_TEST_FILES) + "/contacts-libreoffice.ods";

std::string cell(const std::string& type, const std::string& attributes, const std::string& body) {
    return "<table:table-cell office:value-type=\"" + type + "\" " + attributes + ">" + body +
           "</table:table-cell>";
}
std::string number(const std::string& value, const std::string& more = {}) {
    return cell("float", "office:value=\"" + value + "\" " + more,
                "<text:p>" + value + "</text:p>");
}
std::string text(const std::string& value) {
    return cell("string", "", "<text:p>" + value + "</text:p>");
}
std::string row(const std::string& cells, const std::string& attributes = {}) {
    return "<table:table-row " + attributes + ">" + cells + "</table:table-row>";
}
std::string table(const std::string& rows) {
    return "<table:table table:name=\"表1\">" + rows + "</table:table>";
}
std::string empties(uint32_t columns) {
    return "<table:table-cell table:number-columns-repeated=\"" + std::to_string(columns) + "\"/>";
}

// "row,column=text" for every cell, sorted.
Strings cellTexts(const std::string& path) {
    Strings texts;
    if (const auto cells = ReadFirstSheetCells(path))
        for (const SheetCell& c : *cells)
            texts.push_back(std::to_string(c.row) + "," + std::to_string(c.column) + "=" + c.text);
    std::sort(texts.begin(), texts.end());
    return texts;
}

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

// Saved by LibreOffice Calc: spans and spaces in text, two paragraphs, a date, a boolean,
// a number kept as text with blanks, 1,048,563 repeated empty rows of 1024 cells, and a
// second sheet that is not read.
TEST(OdsSpreadsheet, AFileLibreOfficeSaved) {
    EXPECT_EQ(ReadSpreadsheetNumbers(kLibreOfficeFile),
              (Strings{"13500135004", "13600136003", "13700137002", "13800138000", "13900139001"}));
    const Strings texts = cellTexts(kLibreOfficeFile);
    for (const std::string& expected :
         Strings{"1,1=" + G("姓名"), "2,1=" + G("张三"), "2,2=13800138000",
                 "2,4=" + G("销售  经理"), "2,6=" + G("老客户\n周末勿扰"), "2,7=1980-05-01",
                 "3,2= 13900139001 ", "7,2=1.5", "7,6=TRUE", "11,1=" + G("孙八")})
        EXPECT_NE(std::find(texts.begin(), texts.end(), expected), texts.end()) << expected;
    EXPECT_EQ(texts.size(), 35u);
}

TEST(OdsSpreadsheet, CellsAndRepeats) {
    const struct {
        const char* name;
        std::string tables;
        Strings cells;  // as cellTexts gives them
    } cases[] = {
        {"values as text",
         table(row(number("13800000001") + number("1.5") +
                   number("0.25", "office:value-type=\"percentage\"") +
                   cell("boolean", "office:boolean-value=\"false\"", "<text:p>FALSE</text:p>") +
                   cell("date", "office:date-value=\"2024-01-05\"", "<text:p>05.01.24</text:p>") +
                   cell("string", "office:string-value=\"A&amp;B\"", "<text:p>ignored</text:p>") +
                   cell("string", "",
                        "<text:p>a<text:s text:c=\"3\"/>b<text:tab/>c</text:p>"
                        "<text:p><text:span>d</text:span><text:line-break/>e</text:p>") +
                   cell("string", "",
                        "<office:annotation><text:p>13911111111</text:p></office:annotation>"
                        "<text:p>x</text:p>"))),
         {"1,1=13800000001", "1,2=1.5", "1,3=0.25", "1,4=FALSE", "1,5=2024-01-05", "1,6=A&B",
          "1,7=a   b\tc\nd\ne", "1,8=x"}},
        {"repeated cells and rows",
         table(row(empties(2) + number("13800000002", "table:number-columns-repeated=\"2\"")) +
               row(empties(1024), "table:number-rows-repeated=\"3\"") +
               row(text("t"), "table:number-rows-repeated=\"2\"") +
               row("<table:covered-table-cell/>" + text("u")) +
               row(empties(16383) + text("z") + text("past the last column"))),
         {"1,3=13800000002", "1,4=13800000002", "5,1=t", "6,1=t", "7,2=u", "8,16384=z"}},
        {"rows past the sheet's end are not read",
         table(row(empties(1024), "table:number-rows-repeated=\"1048575\"") +
               row(text("last") + text("more"), "table:number-rows-repeated=\"5\"") +
               row(text("beyond"))),
         {"1048576,1=last", "1048576,2=more"}},
        {"only the first table, not one nested in a cell",
         table(row(cell("string", "",
                        "<text:p>a</text:p><table:table><table:table-row>" + text("inner") +
                            "</table:table-row></table:table>") +
                   text("b"))) +
             table(row(text("second sheet"))),
         {"1,1=a", "1,2=b"}},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        test::WriteOds(folder.file("t.ods"), c.tables);
        EXPECT_EQ(cellTexts(folder.file("t.ods")), c.cells) << c.name;
    }
}

// A run of repeated cells counts as that many cells for the 30001 taken column by column, and
// is never expanded: a million rows by 16384 columns of one number cost neither memory nor
// time, and are too many cells to list.
TEST(OdsSpreadsheet, RepeatCountsAreRunsNotCells) {
    TempFolder folder;
    const auto block = [](uint32_t rows, uint32_t columns, const std::string& value) {
        return row(
            number(value, "table:number-columns-repeated=\"" + std::to_string(columns) + "\""),
            "table:number-rows-repeated=\"" + std::to_string(rows) + "\"");
    };
    const struct {
        std::string tables;
        Strings numbers;
    } cases[] = {
        // Column A holds 30001 copies: column B's number is the 30002nd valid cell.
        {table(row(number("13800000000") + number("13900000000")) +
               row(number("13800000000"), "table:number-rows-repeated=\"30000\"")),
         {"13800000000"}},
        {table(row(number("13800000000") + number("13900000000")) +
               row(number("13800000000"), "table:number-rows-repeated=\"29999\"")),
         {"13800000000", "13900000000"}},
        {table(block(1048576, 16384, "13700000000")), {"13700000000"}},
        {table(block(4000000000u, 4000000000u, "13700000001")), {"13700000001"}},
    };
    const long before = PeakRssKb();
    for (const auto& c : cases) {
        test::WriteOds(folder.file("runs.ods"), c.tables);
        EXPECT_EQ(ReadSpreadsheetNumbers(folder.file("runs.ods")), c.numbers);
    }
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(PeakRssKb() - before, 64 * 1024) << "KB more at peak";
#endif
    EXPECT_FALSE(ReadFirstSheetCells(folder.file("runs.ods")));
}

// Told apart from .xlsx by the package's "mimetype", not by the name; what is broken or
// refused reads as unreadable.
TEST(OdsSpreadsheet, DetectedByContent) {
    TempFolder folder;
    const std::string tables = table(row(number("13800000003")));
    test::WriteOds(folder.file("named.xlsx"), tables);
    test::WriteOds(folder.file("late-mimetype"), tables, false);
    EXPECT_EQ(ReadSpreadsheetNumbers(folder.file("named.xlsx")), Strings{"13800000003"});
    EXPECT_EQ(ReadSpreadsheetNumbers(folder.file("late-mimetype")), Strings{"13800000003"});

    std::string head(128, '\0');
    FILE* file = std::fopen(kLibreOfficeFile.c_str(), "rb");
    ASSERT_TRUE(file);
    head.resize(std::fread(head.data(), 1, head.size(), file));
    std::fclose(file);
    EXPECT_EQ(DetectSpreadsheetFormat("contacts", head), SpreadsheetFormat::Ods);

    for (const std::string& broken :
         Strings{table(row(number("13800000004")) + "<unclosed>"), table(row(text("&undefined;"))),
                 table(row(number("13800000005")) + "</table:table-row>")}) {
        test::WriteOds(folder.file("broken.ods"), broken);
        EXPECT_FALSE(ReadSpreadsheetNumbers(folder.file("broken.ods"))) << broken;
    }
}
