#pragma once
// Reads the mobile numbers of a spreadsheet's first sheet without an office suite: .xls
// (BIFF through FreeXL), .xlsx (Office Open XML) and .ods (OpenDocument, with its repeated
// cells and rows taken as runs, never expanded) through minizip and libxml2, and .csv.
//
// The cells are read the way the spreadsheet application's automation reads them: the
// first sheet's used range gives a row count and a column count, and the cells from row 1
// and column 1 up to those counts are visited column by column, row by row within a column
// (the range is addressed from A1 whatever its own position). Each value becomes text (a
// whole number its decimal digits, also when stored as a float; text as GBK; an empty cell
// the empty text), trimmed. A text that is one mobile number, however written, is a valid
// cell (its 11 digits are taken); at most 30001
// valid cells are taken, duplicates included. The result is the distinct valid texts in
// ascending byte order.
//
// Plain C++, no Qt; safe to call on a worker thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "recipients/ImportTally.h"

namespace smsc {

enum class SpreadsheetFormat { Xls, Xlsx, Ods, Csv, Unknown };

// By content first (a zip whose leading "mimetype" entry names an OpenDocument spreadsheet →
// ods, any other zip "PK\3\4" → xlsx, OLE2 D0 CF 11 E0 → xls), then by the name's extension
// (.csv, any case). head: the file's first bytes (128 are enough). A zip whose "mimetype"
// entry is not the first is told apart when it is read.
SpreadsheetFormat DetectSpreadsheetFormat(const std::string& path, std::string_view head);

// Limits that keep a huge or hostile file from exhausting memory.
inline constexpr uint64_t kMaxSpreadsheetFileBytes = 256ULL * 1024 * 1024;
inline constexpr uint64_t kMaxZipEntryBytes = 256ULL * 1024 * 1024;  // uncompressed
// Cells ReadFirstSheetCells reports at most (ReadSpreadsheetNumbers keeps only the valid
// cells it takes, so it has no such limit).
inline constexpr uint64_t kMaxSheetCells = 20ULL * 1000 * 1000;
// The counter rule: at most this many valid cells are taken.
inline constexpr int kMaxValidCells = 30001;

// The largest sheet the office programs make: cells beyond it are not read.
inline constexpr uint32_t kMaxSheetRows = 1048576;
inline constexpr uint32_t kMaxSheetColumns = 16384;

// A number as the spreadsheet shows it in text: integral values as plain decimal digits
// (13812345678.0 → "13812345678"), others with up to 15 significant digits.
std::string NumberCellText(double value);

// The distinct valid cell texts in ascending order; nullopt when the file cannot be read as
// a spreadsheet (unknown format, broken, password protected, over the limits).
std::optional<std::vector<std::string>> ReadSpreadsheetNumbers(const std::string& path);

// The same numbers with what the import tells the user: rows read (rows holding a value),
// repeats among the cells taken, rows in which no number was recognised, and how many numbers
// the sheet holds beyond the cells taken.
struct SpreadsheetNumbers {
    std::vector<std::string> numbers;
    ImportTally tally;
    long long numbersInSheet = 0;
};
std::optional<SpreadsheetNumbers> ReadSpreadsheetNumbersTallied(const std::string& path);

// The first sheet's cells one by one, for tests and tools: row and column from 1, the value
// as text (GBK, not trimmed). Cells of no value are not reported unless they count in the
// used range (reported with the empty text). nullopt when unreadable.
struct SheetCell {
    uint32_t row = 0;
    uint32_t column = 0;
    std::string text;
};
std::optional<std::vector<SheetCell>> ReadFirstSheetCells(const std::string& path);

// The first sheet as rows, for tables whose first row names the columns: each row that holds
// a value, in row order, its cells from column 1 (GBK, not trimmed; missing cells empty).
// Cells beyond maxColumns are left out; a value beyond maxRows sets `clipped` instead of
// being read; texts past maxBytes in all make the sheet unreadable (nullopt).
struct SheetTableLimits {
    uint32_t maxRows = 100001;
    uint32_t maxColumns = 256;
    uint64_t maxBytes = 128ULL * 1024 * 1024;  // texts and their bookkeeping
};
struct SheetRow {
    uint32_t row = 0;
    std::vector<std::string> cells;
};
struct SheetTable {
    std::vector<SheetRow> rows;
    bool clipped = false;
};
std::optional<SheetTable> ReadSheetTable(const std::string& path, const SheetTableLimits& limits);
// The same for CSV text (as ParseCsvCells reads it).
std::optional<SheetTable> ParseCsvTable(std::string_view bytes, const SheetTableLimits& limits);

// CSV text (RFC 4180 quotes; CR LF, LF or CR record ends) as cells; UTF-16 text (with its
// byte-order mark) and UTF-8 text (with a byte-order mark, or valid UTF-8 with non-ASCII
// bytes) are converted to GBK first.
std::vector<SheetCell> ParseCsvCells(std::string_view bytes);

}  // namespace smsc
