// Reading mobile numbers from .xls, .xlsx and .csv files without an office suite.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/Gbk.h"
#include "recipients/SpreadsheetReader.h"
#include "tests/recipients/SpreadsheetFixtures.h"
#include "tests/support/TextEncodings.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using smsc::test::FixtureCell;
using smsc::test::FixtureSheet;
using smsc::test::TempFolder;
using Strings = std::vector<std::string>;

namespace {

// Duplicates, blanks around numbers, text that is no number, a 143 number (extractable
// but not valid), twelve digits, a boolean, an empty styled cell, a float-stored number.
FixtureSheet mixedSheet() {
    return {
        FixtureCell::str(1, 1, "手机号码"),
        FixtureCell::num(2, 1, 13912345678.0),
        FixtureCell::str(3, 1, "  13800000001 "),
        FixtureCell::num(4, 1, 13912345678.0),
        FixtureCell::str(5, 1, "13912345678"),
        FixtureCell::str(6, 1, "abc"),
        FixtureCell::num(7, 1, 14312345678.0),
        FixtureCell::str(8, 1, "138000000011"),
        FixtureCell::blank(9, 1),
        FixtureCell::num(2, 2, 15000000002.0),
        FixtureCell::integer(3, 2, 42),
        FixtureCell::boolean(4, 2, true),
        FixtureCell::str(5, 2, "138 00000003"),
    };
}

// "138 00000003" is one number written with a blank: read as such since cells are read as
// numbers are written (it used to be left out).
const Strings kMixedNumbers = {"13800000001", "13800000003", "13912345678", "15000000002"};

FixtureSheet column(uint32_t columnIndex, long long first, int count, uint32_t firstRow = 1) {
    FixtureSheet sheet;
    for (int i = 0; i < count; ++i)
        sheet.push_back(FixtureCell::num(firstRow + static_cast<uint32_t>(i), columnIndex,
                                         static_cast<double>(first + i)));
    return sheet;
}

class SpreadsheetTest : public ::testing::Test {
protected:
    TempFolder folder;
};

}  // namespace

TEST(NumberCellText, WholeNumbersAsPlainDigits) {
    EXPECT_EQ(NumberCellText(13812345678.0), "13812345678");
    EXPECT_EQ(NumberCellText(0.0), "0");
    EXPECT_EQ(NumberCellText(-0.0), "0");
    EXPECT_EQ(NumberCellText(-25.0), "-25");
    EXPECT_EQ(NumberCellText(1.5), "1.5");
    EXPECT_EQ(NumberCellText(1e20), "1e+20");
    EXPECT_EQ(NumberCellText(0.1 + 0.2), "0.3");
}

TEST(DetectSpreadsheetFormat, ContentFirstThenExtension) {
    EXPECT_EQ(DetectSpreadsheetFormat("a.csv", std::string("PK\x03\x04", 4)),
              SpreadsheetFormat::Xlsx);
    EXPECT_EQ(DetectSpreadsheetFormat("a.xlsx", "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"),
              SpreadsheetFormat::Xls);
    EXPECT_EQ(DetectSpreadsheetFormat("numbers.CSV", "1380"), SpreadsheetFormat::Csv);
    EXPECT_EQ(DetectSpreadsheetFormat("numbers.xls", "1380"), SpreadsheetFormat::Unknown);
    EXPECT_EQ(DetectSpreadsheetFormat("csv", ""), SpreadsheetFormat::Unknown);
    // A zip whose first entry is "mimetype" with an extra field past the bytes given.
    std::string head("PK\x03\x04", 4);
    head += std::string(22, '\0') + std::string("\x08\x00\xFF\x7F", 4) + "mimetype";
    EXPECT_EQ(DetectSpreadsheetFormat("a.ods", head), SpreadsheetFormat::Xlsx);
    head.replace(28, 2, std::string(2, '\0'));
    EXPECT_EQ(DetectSpreadsheetFormat("a", head + "application/vnd.oasis.opendocument.spreadsheet"),
              SpreadsheetFormat::Ods);
}

TEST_F(SpreadsheetTest, ChangedXlsxValidCellsWrittenAnyWayDistinctAndAscending) {
    const std::string path = folder.file("mixed.xlsx");
    test::WriteXlsx(path, {mixedSheet()});
    EXPECT_EQ(ReadSpreadsheetNumbers(path), kMixedNumbers);
}

TEST_F(SpreadsheetTest, ChangedXlsValidCellsWrittenAnyWayDistinctAndAscending) {
    const std::string path = folder.file("mixed.xls");
    test::WriteXls(path, {mixedSheet()});
    EXPECT_EQ(ReadSpreadsheetNumbers(path), kMixedNumbers);
}

TEST_F(SpreadsheetTest, OnlyTheFirstSheetIsRead) {
    for (const char* name : {"two.xlsx", "two.xls"}) {
        const std::string path = folder.file(name);
        const std::vector<FixtureSheet> sheets = {column(1, 13800000000, 2),
                                                  column(1, 15900000000, 2)};
        if (std::string(name).ends_with(".xlsx"))
            test::WriteXlsx(path, sheets);
        else
            test::WriteXls(path, sheets);
        EXPECT_EQ(ReadSpreadsheetNumbers(path), (Strings{"13800000000", "13800000001"})) << name;
    }
}

TEST_F(SpreadsheetTest, XlsCellTextsAsTheApplicationShowsThem) {
    const std::string path = folder.file("cells.xls");
    test::WriteXls(path, {{FixtureCell::str(1, 1, "手机"), FixtureCell::num(1, 2, 13812345678.0),
                           FixtureCell::integer(2, 1, 7), FixtureCell::num(2, 2, 2.25)}});
    const auto cells = ReadFirstSheetCells(path);
    ASSERT_TRUE(cells);
    std::vector<std::string> texts;
    for (const SheetCell& cell : *cells)
        texts.push_back(std::to_string(cell.row) + "," + std::to_string(cell.column) + "=" +
                        cell.text);
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (Strings{"1,1=" + G("手机"), "1,2=13812345678", "2,1=7", "2,2=2.25"}));
}

TEST_F(SpreadsheetTest, XlsxValueForms) {
    const std::string path = folder.file("forms.xlsx");
    test::WriteXlsx(path, {{
                              FixtureCell::num(1, 1, 0, "1.3812345678E10"),
                              FixtureCell::num(2, 1, 0, "13800000005.0"),
                              FixtureCell::inlineStr(3, 1, " 13700000000"),
                              FixtureCell::formulaStr(4, 1, "13600000000"),
                              FixtureCell::str(5, 1, "电话"),
                          }});
    EXPECT_EQ(ReadSpreadsheetNumbers(path),
              (Strings{"13600000000", "13700000000", "13800000005", "13812345678"}));
    const auto cells = ReadFirstSheetCells(path);
    ASSERT_TRUE(cells);
    ASSERT_EQ(cells->size(), 5u);
    EXPECT_EQ((*cells)[4].text, G("电话"));  // shared strings come out as GBK
}

// Cells are read from A1 to the end of the used range, wherever the range starts.
TEST_F(SpreadsheetTest, ReadsFromA1ToTheEndOfTheUsedRange) {
    const std::string framed = folder.file("framed.xlsx");
    FixtureSheet sheet = column(2, 13800000000, 3, 2);  // B2:B4
    sheet.push_back(FixtureCell::str(1, 1, "号码"));    // A1: the range starts at A1
    test::WriteXlsx(framed, {sheet});
    EXPECT_EQ(ReadSpreadsheetNumbers(framed),
              (Strings{"13800000000", "13800000001", "13800000002"}));

    // Data in B2:C4 under an empty column A and row 1: every number is found, B4 and
    // column C included.
    const std::string offset = folder.file("offset.xlsx");
    FixtureSheet shifted = column(2, 13800000000, 3, 2);
    shifted.push_back(FixtureCell::num(2, 3, 15000000000.0));
    test::WriteXlsx(offset, {shifted});
    EXPECT_EQ(ReadSpreadsheetNumbers(offset),
              (Strings{"13800000000", "13800000001", "13800000002", "15000000000"}));
}

// At most 30001 valid cells are taken, column by column.
TEST_F(SpreadsheetTest, CounterStopsAfter30001ValidCellsColumnByColumn) {
    FixtureSheet sheet = column(1, 13800000000, 30001);
    sheet.push_back(FixtureCell::num(1, 2, 13000000000.0));  // B1: the 30002nd valid cell
    for (const char* name : {"big.xlsx", "big.xls"}) {
        const std::string path = folder.file(name);
        if (std::string(name).ends_with(".xlsx"))
            test::WriteXlsx(path, {sheet});
        else
            test::WriteXls(path, {sheet});
        const auto numbers = ReadSpreadsheetNumbers(path);
        ASSERT_TRUE(numbers) << name;
        ASSERT_EQ(numbers->size(), 30001u) << name;
        EXPECT_EQ(numbers->front(), "13800000000") << name;
        EXPECT_EQ(numbers->back(), "13800030000") << name;
    }
    // Duplicates count too: 30001 copies of one number and then a second number.
    FixtureSheet same;
    for (uint32_t row = 1; row <= 30001; ++row)
        same.push_back(FixtureCell::str(row, 1, "13800000000"));
    same.push_back(FixtureCell::str(1, 2, "13900000000"));
    const std::string path = folder.file("same.xlsx");
    test::WriteXlsx(path, {same});
    EXPECT_EQ(ReadSpreadsheetNumbers(path), (Strings{"13800000000"}));
}

// Three columns of 40000 valid cells: the 30001 taken are A1..A30001, also when the format
// hands the cells over row by row. Column A counts down, so keeping the wrong cells (the
// smallest numbers, or the first ones delivered) would show.
TEST_F(SpreadsheetTest, ManyValidCellsKeepTheFirst30001ColumnByColumn) {
    const int rows = 40000;
    auto value = [](uint32_t column, int row) -> long long {
        return column == 1 ? 15900040000LL - row
                           : (column == 2 ? 13800000000LL : 13900000000LL) + row;
    };
    FixtureSheet sheet;
    std::string csv;
    for (int row = 1; row <= rows; ++row) {
        for (uint32_t column = 1; column <= 3; ++column) {
            sheet.push_back(FixtureCell::num(static_cast<uint32_t>(row), column,
                                             static_cast<double>(value(column, row))));
            csv += std::to_string(value(column, row)) + (column < 3 ? "," : "\r\n");
        }
    }
    Strings expected;
    for (int row = 30001; row >= 1; --row)
        expected.push_back(std::to_string(value(1, row)));

    test::WriteXlsx(folder.file("three.xlsx"), {sheet});
    test::WriteXls(folder.file("three.xls"), {sheet});
    folder.writeFile("three.csv", csv);
    for (const char* name : {"three.xlsx", "three.xls", "three.csv"})
        EXPECT_EQ(ReadSpreadsheetNumbers(folder.file(name)), expected) << name;
}

// More than 20 million cells are read (the file itself stays within its size limit), so such
// a sheet reaches the recipient cap instead of failing as unreadable.
TEST_F(SpreadsheetTest, SheetOfMoreThanTwentyMillionCellsIsRead) {
    const int rows = 30001, fillers = 699;  // 30001 * 700 cells
    std::string filler;
    for (int i = 0; i < fillers; ++i)
        filler += ",0";
    filler += "\r\n";
    std::string csv;
    csv.reserve(static_cast<size_t>(rows) * (11 + filler.size()));
    for (int row = 0; row < rows; ++row)
        csv += std::to_string(13800000000LL + row) + filler;
    ASSERT_GT(static_cast<uint64_t>(rows) * (fillers + 1), kMaxSheetCells);
    ASSERT_LT(csv.size(), kMaxSpreadsheetFileBytes);
    folder.writeFile("huge.csv", csv);
    csv = std::string();

    const auto numbers = ReadSpreadsheetNumbers(folder.file("huge.csv"));
    ASSERT_TRUE(numbers);
    ASSERT_EQ(numbers->size(), 30001u);
    EXPECT_EQ(numbers->front(), "13800000000");
    EXPECT_EQ(numbers->back(), "13800030000");
}

TEST(CsvCells, QuotesSeparatorsAndRecordEnds) {
    const auto cells = ParseCsvCells("a,\"b,c\",\"say \"\"hi\"\"\"\r\n\"multi\r\nline\",,x\ny\rz,");
    std::vector<std::string> texts;
    for (const SheetCell& cell : cells)
        texts.push_back(std::to_string(cell.row) + ":" + std::to_string(cell.column) + "=" +
                        cell.text);
    EXPECT_EQ(texts, (Strings{"1:1=a", "1:2=b,c", "1:3=say \"hi\"", "2:1=multi\r\nline", "2:3=x",
                              "3:1=y", "4:1=z"}));
}

TEST_F(SpreadsheetTest, CsvInGbkAndUtf8) {
    const std::string utf8 = "姓名,手机\r\n张三, 13800000001 \r\n李四,\"13912345678\"\r\n";
    TempFolder& f = folder;
    f.writeFile("gbk.csv", G(utf8));
    f.writeFile("utf8.csv", utf8);
    f.writeFile("bom.csv",
                "\xEF\xBB\xBF"
                "13700000000,x\r\n" +
                    utf8);
    const Strings expected = {"13800000001", "13912345678"};
    EXPECT_EQ(ReadSpreadsheetNumbers(f.file("gbk.csv")), expected);
    EXPECT_EQ(ReadSpreadsheetNumbers(f.file("utf8.csv")), expected);
    // Without its byte-order mark removed the first cell would not be a number.
    EXPECT_EQ(ReadSpreadsheetNumbers(f.file("bom.csv")),
              (Strings{"13700000000", "13800000001", "13912345678"}));

    const auto cells = ReadFirstSheetCells(f.file("utf8.csv"));
    ASSERT_TRUE(cells);
    EXPECT_EQ(cells->front().text, G("姓名"));  // converted to GBK
    f.writeFile("empty.csv", "");
    EXPECT_EQ(ReadSpreadsheetNumbers(f.file("empty.csv")), Strings{});
}

TEST_F(SpreadsheetTest, WhatCannotBeReadAsASpreadsheet) {
    folder.writeFile("garbage.xls", "this is not a workbook at all");
    EXPECT_FALSE(ReadSpreadsheetNumbers(folder.file("garbage.xls")));
    folder.writeFile("numbers.txt", "13800000000\r\n");
    EXPECT_FALSE(ReadSpreadsheetNumbers(folder.file("numbers.txt")));
    EXPECT_FALSE(ReadSpreadsheetNumbers(folder.file("missing.xlsx")));
    EXPECT_FALSE(ReadSpreadsheetNumbers(folder.path()));  // a folder

    // An OLE2 signature with nothing behind it.
    folder.writeFile("ole.xls",
                     std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0'));
    EXPECT_FALSE(ReadSpreadsheetNumbers(folder.file("ole.xls")));

    // A zip that is cut short, and a zip that holds no workbook.
    const std::string whole = folder.file("whole.xlsx");
    test::WriteXlsx(whole, {mixedSheet()});
    std::ifstream in(whole, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    folder.writeFile("cut.xlsx", bytes.substr(0, bytes.size() / 2));
    EXPECT_FALSE(ReadSpreadsheetNumbers(folder.file("cut.xlsx")));

    zipFile zip = zipOpen64(folder.file("other.xlsx").c_str(), APPEND_STATUS_CREATE);
    test::fixture_detail::zipAdd(zip, "readme.txt", "hello");
    zipClose(zip, nullptr);
    EXPECT_FALSE(ReadSpreadsheetNumbers(folder.file("other.xlsx")));

    // A .xls whose workbook stream is garbage behind a valid compound file.
    std::ofstream out(folder.file("badbiff.xls"), std::ios::binary);
    const std::string file = test::fixture_detail::compoundFile(std::string(5000, '\x7F'));
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
    out.close();
    EXPECT_FALSE(ReadSpreadsheetNumbers(folder.file("badbiff.xls")));
}

// A sheet part that declares entities: nothing is substituted or loaded, and a broken
// sheet is refused rather than read in part.
TEST_F(SpreadsheetTest, SheetXmlEntitiesAreNotExpanded) {
    zipFile zip = zipOpen64(folder.file("entity.xlsx").c_str(), APPEND_STATUS_CREATE);
    using test::fixture_detail::zipAdd;
    zipAdd(zip, "_rels/.rels",
           "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
           "<Relationship Id=\"r1\" Type=\"x/officeDocument\" Target=\"xl/workbook.xml\"/>"
           "</Relationships>");
    zipAdd(zip, "xl/workbook.xml",
           "<workbook xmlns:r=\"r\"><sheets><sheet name=\"a\" r:id=\"s1\"/></sheets></workbook>");
    zipAdd(zip, "xl/_rels/workbook.xml.rels",
           "<Relationships><Relationship Id=\"s1\" Type=\"x/worksheet\" "
           "Target=\"/xl/worksheets/../worksheets/s.xml\"/></Relationships>");
    zipAdd(zip, "xl/worksheets/s.xml",
           "<!DOCTYPE w [<!ENTITY n \"13800000009\"><!ENTITY e SYSTEM \"file:///etc/hostname\">]>"
           "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>&n;</t></is></c>"
           "<c r=\"B1\" t=\"inlineStr\"><is><t>&e;</t></is></c>"
           "<c r=\"C1\"><v>13800000008</v></c></row></sheetData></worksheet>");
    zipClose(zip, nullptr);
    EXPECT_EQ(ReadSpreadsheetNumbers(folder.file("entity.xlsx")), (Strings{"13800000008"}));

    zip = zipOpen64(folder.file("broken.xlsx").c_str(), APPEND_STATUS_CREATE);
    zipAdd(zip, "xl/workbook.xml",
           "<workbook xmlns:r=\"r\"><sheets><sheet name=\"a\" r:id=\"s1\"/></sheets></workbook>");
    zipAdd(zip, "xl/_rels/workbook.xml.rels",
           "<Relationships><Relationship Id=\"s1\" Type=\"x/worksheet\" "
           "Target=\"worksheets/s.xml\"/></Relationships>");
    zipAdd(zip, "xl/worksheets/s.xml",
           "<worksheet><sheetData><row r=\"1\"><c r=\"A1\"><v>13800000008</v></c></row>"
           "<row r=\"2\"><c r=\"A2\"><v>13800000009</v></sheetData>");
    zipClose(zip, nullptr);
    EXPECT_FALSE(ReadSpreadsheetNumbers(folder.file("broken.xlsx")));
}

// Sheet parts as other producers write them: prefixes, single quotes, references, CDATA,
// comments, a ">" inside a value, a reference cut where the reader's chunks meet, other
// encodings (read through libxml2), a document type whose entity is not expanded; and what
// is not well formed, refused.
TEST_F(SpreadsheetTest, SheetXmlForms) {
    const auto sheet = [](const std::string& rows, const std::string& head = {}) {
        return head +
               "<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
               "<x:sheetData>" +
               rows + "</x:sheetData></x:worksheet>";
    };
    const auto padded = [&](size_t at) {
        // The "&#49;" starts at byte `at` of the part.
        const std::string before = "<x:row><x:c><x:v>1380000000";
        std::string doc = sheet("<!---->" + before + "&#49;</x:v></x:c></x:row>");
        const size_t reference = doc.find("&#49;");
        doc.insert(doc.find("<!--") + 4, std::string(at - reference, ' '));
        return doc;
    };
    const std::string forms = sheet(
        "<!-- by hand --><x:row r='1'><x:c r='A1'><x:v>1380000000&#49;</x:v></x:c>"
        "<x:c r=\"B1\" t=\"inlineStr\" note=\"a>b &amp; "
        "c\"><x:is><x:t>&#x31;3800000002</x:t></x:is></x:c>"
        "<x:c r=\"C1\" t=\"str\"><x:v><![CDATA[13800000003]]></x:v></x:c><?pi data?></x:row>",
        "<?xml version='1.0' encoding='UTF-8'?>\n");
    const Strings three = {"13800000001", "13800000002", "13800000003"};
    const struct {
        const char* name;
        std::string xml;
        std::optional<Strings> numbers;
    } cases[] = {
        {"forms", forms, three},
        {"UTF-16", test::Utf16File(std::string(forms).replace(forms.find("UTF-8"), 5, "UTF-16")),
         three},
        {"GBK",
         "<?xml version=\"1.0\" encoding=\"GBK\"?>" +
             sheet(G("<x:row><x:c t=\"inlineStr\"><x:is><x:t>号码</x:t></x:is></x:c>"
                     "<x:c><x:v>13800000004</x:v></x:c></x:row>")),
         Strings{"13800000004"}},
        {"cut 4093", padded(4093), Strings{"13800000001"}},
        {"cut 4094", padded(4094), Strings{"13800000001"}},
        {"cut 4096", padded(4096), Strings{"13800000001"}},
        {"document type",
         "<!DOCTYPE x [<!ENTITY n \"13800000005\"><!-- ]> -->]>" +
             sheet("<x:row><x:c><x:v>&n;</x:v><x:v>13800000006</x:v></x:c></x:row>"),
         Strings{"13800000006"}},
        {"undeclared reference", sheet("<x:row><x:c><x:v>&nbsp;13800000006</x:v></x:c></x:row>"),
         std::nullopt},
        {"crossed tags", sheet("<x:row><x:c><x:v>13800000007</x:v></x:row></x:c>"), std::nullopt},
        {"left open", sheet("<x:row><x:c><x:v>13800000008</x:v></x:c></x:row>").substr(0, 100),
         std::nullopt},
        {"two roots", sheet("") + sheet("<x:row><x:c><x:v>13800000009</x:v></x:c></x:row>"),
         std::nullopt},
    };
    for (const auto& c : cases) {
        test::WriteXlsxParts(folder.file("forms.xlsx"), c.xml);
        EXPECT_EQ(ReadSpreadsheetNumbers(folder.file("forms.xlsx")), c.numbers) << c.name;
    }
}
