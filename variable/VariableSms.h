#pragma once
// Variable SMS (个性短信): one template with fields "{列名}", one row of a table per
// recipient. Each row is checked (its number, repeats, the opt-out list, empty cells), its
// text rendered, and rows whose texts come out the same are grouped: a group goes to the
// service as one message with all its numbers, so a template without fields costs the
// requests of an ordinary send. No Qt; texts are GBK.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "addressbook/ContactBook.h"
#include "compliance/Compliance.h"

namespace smsc::variable {

// ---- the template -----------------------------------------------------------------------

struct TemplatePart {
    bool field = false;
    std::string text;  // the literal text, or the field's name (trimmed)
};

struct ParsedTemplate {
    std::vector<TemplatePart> parts;
    std::vector<std::string> fields;  // distinct field names in order of appearance
    // Empty when the template is sound; otherwise what is wrong, naming the character
    // position (from 1) where it is.
    std::string error;
    size_t errorPosition = 0;
    // Sound but doubtful: a field inside a link, two fields side by side.
    std::vector<std::string> warnings;
    bool ok() const { return error.empty(); }
};

// "{名}" is a field; "{{" and "}}" stand for a brace itself. An unclosed "{", a stray "}",
// an empty name or a name holding a brace or a line break is an error with its position.
ParsedTemplate ParseTemplate(const std::string& gbk);

// ---- the table --------------------------------------------------------------------------

struct TableRow {
    uint32_t row = 0;  // the row number as the spreadsheet shows it
    std::vector<std::string> cells;
};

struct VariableTable {
    std::vector<std::string> headers;  // trimmed; the first row that holds a value
    std::vector<TableRow> rows;        // the rows below it that hold a value
    bool clipped = false;              // rows past the limit were not read
};

// Rows a table may have at most (beyond, the table is clipped and says so).
inline constexpr uint32_t kMaxTableRows = 100000;

// A table from .xlsx, .xls, .ods, .csv or a text file (tab- or comma-separated, GBK or
// behind a UTF-8/UTF-16 mark). nullopt with *error (GBK) when it cannot be read or holds no
// header row.
std::optional<VariableTable> ReadVariableTable(const std::string& path, std::string* error);
// The same from bytes already read (a text or CSV file).
std::optional<VariableTable> TableFromText(std::string bytes, std::string* error);

// An address-book group as a table: the contacts listed (ContactBook::listContacts) under
// the fields 姓名, 手机号码, 称呼, 邮箱, 地址, 公司名称, 公司电话, 传真, 邮编, numbered from 1 in
// the listing's order.
VariableTable TableFromContacts(const std::vector<ContactRow>& contacts);

// The column holding the numbers: the header equal to `chosen` when given (-1 when there is
// none), else the first header that is, or then holds, 手机号码, 手机, 号码, 电话 or mobile
// (letter case ignored). -1 when none.
int FindNumberColumn(const std::vector<std::string>& headers, const std::string& chosen = {});

// ---- the check --------------------------------------------------------------------------

enum class EmptyCellPolicy { SkipRow, LeaveEmpty };

enum class RowProblem {
    EmptyCell,   // a field's cell is empty (skipped, or left empty as chosen)
    BadNumber,   // the number cell holds no mobile number: skipped
    Repeat,      // the number came in an earlier row: skipped
    OptedOut,    // on the opt-out list: skipped
    MorePieces,  // its text needs more pieces than the template alone
};

struct RowFinding {
    uint32_t row = 0;
    RowProblem problem = RowProblem::EmptyCell;
    bool skipped = false;
    std::string detail;  // GBK: the field, the cell, the earlier row, the piece count
};

// One distinct text and every number it goes to.
struct TextGroup {
    std::string text;                 // rendered, line breaks removed: what the check saw
    std::string outgoing;             // what goes out (the check may add a signature)
    std::vector<std::string> pieces;  // the request texts (prefixes included)
    std::vector<std::string> numbers;
    std::vector<uint32_t> rows;
    std::vector<Finding> findings;  // the check's, UTF-8
    bool blocked = false;
};

struct PlanOptions {
    std::string numberColumn;  // a header chosen by the user; empty: found by its name
    EmptyCellPolicy emptyCells = EmptyCellPolicy::SkipRow;
    std::function<bool(const std::string& number)> optedOut;  // unset: none is
    // The check before sending on one distinct text (GBK); unset: not checked.
    std::function<ComplianceReport(const std::string& gbk)> check;
    int batchSize = 30000;  // numbers per request at most
};

struct Totals {
    long long rows = 0;     // rows of the table
    long long sending = 0;  // rows that get a text
    long long skipped = 0;
    long long texts = 0;     // distinct texts
    long long requests = 0;  // each text's batches times its pieces
    long long pieces = 0;    // pieces of all distinct texts
    long long units = 0;     // what the service charges: each number times its text's pieces
    int templatePieces = 0;  // pieces of the template's own text (fields empty)
    long long blockedTexts = 0;
};

struct VariablePlan {
    std::string error;  // GBK: the template is broken or names a field the table lacks;
                        // nothing can be sent
    std::vector<std::string> templateWarnings;  // GBK
    int numberColumn = -1;
    std::vector<RowFinding> findings;  // in row order
    std::vector<TextGroup> groups;     // in order of their first row
    Totals totals;
    bool ok() const { return error.empty(); }
};

VariablePlan PlanVariableSms(const ParsedTemplate& parsed, const VariableTable& table,
                             const PlanOptions& options);

// One row's text as it goes out, line breaks removed (cells as they stand, empty cells
// empty); nullopt with *error when the template is broken or lacks a field.
std::optional<std::string> RenderRow(const ParsedTemplate& parsed, const VariableTable& table,
                                     size_t rowIndex, std::string* error);

// "空单元格", "号码无法识别", "号码重复", "已退订", "超过模板条数" (GBK).
std::string RowProblemName(RowProblem problem);

}  // namespace smsc::variable
