// Spreadsheets made to exhaust the reader: inflated tables, quadratic lookups, files that
// are no files, text in UTF-16.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "recipients/SpreadsheetReader.h"
#include "tests/recipients/SpreadsheetFixtures.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using smsc::test::TempFolder;
using Strings = std::vector<std::string>;

namespace {

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// An .xlsx whose parts are written piece by piece (a part may be far larger than memory
// should hold): each part is a list of chunks, each chunk written `repeat` times.
struct Chunk {
    std::string bytes;
    size_t repeat = 1;
};
using Part = std::pair<std::string, std::vector<Chunk>>;

void WritePackage(const std::string& path, const std::vector<Part>& parts) {
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    for (const auto& [name, chunks] : parts) {
        zip_fileinfo info{};
        ASSERT_EQ(zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                      Z_DEFLATED, 1),
                  ZIP_OK);
        for (const Chunk& chunk : chunks)
            for (size_t i = 0; i < chunk.repeat; ++i)
                zipWriteInFileInZip(zip, chunk.bytes.data(),
                                    static_cast<unsigned>(chunk.bytes.size()));
        zipCloseFileInZip(zip);
    }
    zipClose(zip, nullptr);
}

const char* const kRootRels =
    "<Relationships><Relationship Id=\"r1\" Type=\"x/officeDocument\" "
    "Target=\"xl/workbook.xml\"/></Relationships>";

std::string SheetWithSharedCells(const std::vector<size_t>& indexes) {
    std::string xml = "<worksheet><sheetData>";
    uint32_t row = 1;
    for (size_t index : indexes) {
        const std::string r = std::to_string(row++);
        xml += "<row r=\"" + r + "\"><c r=\"A" + r + "\" t=\"s\"><v>" + std::to_string(index) +
               "</v></c></row>";
    }
    return xml + "</sheetData></worksheet>";
}

// A one-sheet package whose shared-string table has `empties` empty entries, then the given
// numbers; the sheet refers to the given table indexes.
void WriteInflatedTable(const std::string& path, size_t empties, const Strings& numbers,
                        const std::vector<size_t>& used) {
    std::string tail;
    for (const std::string& n : numbers)
        tail += "<si><t>" + n + "</t></si>";
    WritePackage(path, {{"_rels/.rels", {{kRootRels}}},
                        {"xl/workbook.xml",
                         {{"<workbook><sheets><sheet r:id=\"s1\" "
                           "xmlns:r=\"r\"/></sheets></workbook>"}}},
                        {"xl/_rels/workbook.xml.rels",
                         {{"<Relationships><Relationship Id=\"s1\" Type=\"x/worksheet\" "
                           "Target=\"s.xml\"/><Relationship Id=\"t\" Type=\"x/sharedStrings\" "
                           "Target=\"t.xml\"/></Relationships>"}}},
                        {"xl/s.xml", {{SheetWithSharedCells(used)}}},
                        {"xl/t.xml",
                         {{"<sst>"},
                          {[] {
                               std::string block;
                               for (int i = 0; i < 1000; ++i)
                                   block += "<si/>";
                               return block;
                           }(),
                           empties / 1000},
                          {tail + "</sst>"}}}});
}

}  // namespace

// 25 MB of "<si/>" (five million entries) once kept one string each: hundreds of MB.
TEST(HostileSpreadsheets, AnInflatedSharedStringTableKeepsOnlyWhatTheSheetUses) {
    TempFolder folder;
    const size_t empties = 5'000'000;
    WriteInflatedTable(folder.file("early.xlsx"), empties, {"13800000001"}, {0, 1});
    WriteInflatedTable(folder.file("late.xlsx"), empties, {"13800000001", "13800000002"},
                       {0, empties + 1, 7});

    const long before = PeakRssKb();
    EXPECT_EQ(ReadSpreadsheetNumbers(folder.file("early.xlsx")), Strings{});
    EXPECT_EQ(ReadSpreadsheetNumbers(folder.file("late.xlsx")), Strings{"13800000002"});
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(PeakRssKb() - before, 64 * 1024) << "KB more at peak";
#endif
    const auto cells = ReadFirstSheetCells(folder.file("late.xlsx"));
    ASSERT_TRUE(cells);
    ASSERT_EQ(cells->size(), 3u);
    EXPECT_EQ((*cells)[1].text, "13800000002");
}

// 200,000 sheets against 50,000 relationships: matching every pair took minutes.
TEST(HostileSpreadsheets, ManySheetsAndRelationshipsAreMatchedInLinearTime) {
    TempFolder folder;
    std::string workbook = "<workbook xmlns:r=\"r\"><sheets>";
    for (int i = 0; i < 200000; ++i)
        workbook += "<sheet r:id=\"n" + std::to_string(i) + "\"/>";
    workbook += "<sheet r:id=\"w49999\"/></sheets></workbook>";
    std::string rels = "<Relationships>";
    for (int i = 0; i < 50000; ++i)
        rels += "<Relationship Id=\"w" + std::to_string(i) + "\" Type=\"x/worksheet\" Target=\"s" +
                std::to_string(i % 2) + ".xml\"/>";
    rels += "</Relationships>";
    WritePackage(folder.file("many.xlsx"),
                 {{"_rels/.rels", {{kRootRels}}},
                  {"xl/workbook.xml", {{workbook}}},
                  {"xl/_rels/workbook.xml.rels", {{rels}}},
                  {"xl/s0.xml", {{"<worksheet/>"}}},
                  {"xl/s1.xml",
                   {{"<worksheet><sheetData><row><c><v>13800000009</v></c></row></sheetData>"
                     "</worksheet>"}}}});
    EXPECT_EQ(ReadSpreadsheetNumbers(folder.file("many.xlsx")), Strings{"13800000009"});
}

TEST(HostileSpreadsheets, OnlyRegularFilesAreOpened) {
    TempFolder folder;
    const std::string fifo = folder.file("pipe.xlsx");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(folder.file("pipe.csv").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(folder.file("pipe.xls").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", folder.file("zero.csv").c_str()), 0);
    for (const char* name : {"pipe.xlsx", "pipe.csv", "pipe.xls", "zero.csv"}) {
        auto read = std::async(std::launch::async,
                               [&] { return ReadSpreadsheetNumbers(folder.file(name)); });
        if (read.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
            ADD_FAILURE() << name << " blocks";
            // Let a blocked open go on so that the test ends.
            const int fd = ::open(folder.file(name).c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
        EXPECT_FALSE(read.get()) << name;
    }
}

TEST(HostileSpreadsheets, Utf16CsvIsReadAsText) {
    TempFolder folder;
    const std::string text = "号码,13800000001\r\n13900000002\r\n";
    const std::u16string units = test::fixture_detail::utf16(text);
    std::string little = "\xFF\xFE", big = "\xFE\xFF";
    for (char16_t u : units) {
        little += static_cast<char>(u & 0xFF);
        little += static_cast<char>(u >> 8);
        big += static_cast<char>(u >> 8);
        big += static_cast<char>(u & 0xFF);
    }
    folder.writeFile("le.csv", little);
    folder.writeFile("be.csv", big);
    for (const char* name : {"le.csv", "be.csv"})
        EXPECT_EQ(ReadSpreadsheetNumbers(folder.file(name)),
                  (Strings{"13800000001", "13900000002"}))
            << name;
}
