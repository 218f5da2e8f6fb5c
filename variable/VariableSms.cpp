#include "variable/VariableSms.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <unordered_map>

#include "platform/Gbk.h"
#include "recipients/NumberReader.h"
#include "recipients/SpreadsheetReader.h"
#include "sending/SmsSend.h"
#include "platform/TextHelpers.h"

namespace smsc::variable {
namespace {

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string trimmed(const std::string& text) {
    return TrimBlanks(text);
}

VariableTable tableFromRows(std::vector<SheetRow> rows, bool clipped) {
    VariableTable table;
    table.clipped = clipped;
    if (rows.empty())
        return table;
    for (const std::string& header : rows.front().cells)
        table.headers.push_back(trimmed(header));
    table.rows.reserve(rows.size() - 1);
    for (size_t i = 1; i < rows.size(); ++i) {
        TableRow row;
        row.row = rows[i].row;
        row.cells = std::move(rows[i].cells);
        table.rows.push_back(std::move(row));
    }
    return table;
}

SheetTableLimits limits() {
    SheetTableLimits l;
    l.maxRows = kMaxTableRows + 1;
    return l;
}

// Tab-separated lines, the way a sheet copied out of an office program is saved as text.
std::optional<SheetTable> tabTable(const std::string& gbk) {
    SheetTable table;
    uint32_t number = 0;
    size_t start = 0;
    while (start <= gbk.size()) {
        size_t end = gbk.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = gbk.size();
        ++number;
        const std::string line = gbk.substr(start, end - start);
        if (line.find_first_not_of(" \t") != std::string::npos) {
            if (table.rows.size() > kMaxTableRows) {
                table.clipped = true;
                break;
            }
            SheetRow row;
            row.row = number;
            row.cells = SplitBySeparator(line, "\t");
            table.rows.push_back(std::move(row));
        }
        if (end == gbk.size())
            break;
        start = end + (gbk.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return table;
}

}  // namespace

ParsedTemplate ParseTemplate(const std::string& gbk) {
    ParsedTemplate parsed;
    std::string literal;
    size_t position = 0;  // characters so far
    auto fail = [&](size_t at, const std::string& what) {
        parsed.error = G("模板第") + std::to_string(at) + G("个字符处") + what;
        parsed.errorPosition = at;
        parsed.parts.clear();
        parsed.fields.clear();
        return parsed;
    };
    auto flush = [&] {
        if (!literal.empty())
            parsed.parts.push_back({false, std::move(literal)});
        literal.clear();
    };
    size_t i = 0;
    while (i < gbk.size()) {
        const int bytes = GbkCharBytes(gbk, i);
        ++position;
        const char c = gbk[i];
        if (bytes == 1 && (c == '{' || c == '}') && i + 1 < gbk.size() && gbk[i + 1] == c) {
            literal += c;
            i += 2;
            ++position;
            continue;
        }
        if (bytes == 1 && c == '}')
            return fail(position, G("有多余的“}”（要写“}”本身请写“}}”）"));
        if (bytes != 1 || c != '{') {
            literal.append(gbk, i, static_cast<size_t>(bytes));
            i += static_cast<size_t>(bytes);
            continue;
        }
        const size_t open = position;
        std::string name;
        size_t j = i + 1;
        bool closed = false;
        while (j < gbk.size()) {
            const int b = GbkCharBytes(gbk, j);
            if (b == 1 && gbk[j] == '}') {
                closed = true;
                break;
            }
            if (b == 1 && (gbk[j] == '{' || gbk[j] == '\r' || gbk[j] == '\n'))
                break;
            name.append(gbk, j, static_cast<size_t>(b));
            j += static_cast<size_t>(b);
            ++position;
        }
        if (!closed)
            return fail(open, G("的“{”没有对应的“}”"));
        ++position;  // the closing brace
        name = trimmed(name);
        if (name.empty())
            return fail(open, G("的“{}”中没有列名"));
        if (!parsed.parts.empty() && parsed.parts.back().field && literal.empty())
            parsed.warnings.push_back(G("模板第") + std::to_string(open) +
                                      G("个字符处两个字段相连（{") + parsed.parts.back().text +
                                      G("}{") + name + G("}），收件人看到的内容可能连在一起"));
        // A link runs from "http" or "www." up to the next blank; a field inside it puts the
        // cell's text into the address.
        const std::string low = lower(literal);
        const size_t http = low.rfind("http"), www = low.rfind("www.");
        const size_t link = http == std::string::npos  ? www
                            : www == std::string::npos ? http
                                                       : std::max(http, www);
        if (link != std::string::npos &&
            literal.find_first_of(" \t\r\n", link) == std::string::npos)
            parsed.warnings.push_back(G("模板第") + std::to_string(open) + G("个字符处字段{") +
                                      name + G("}在链接中，链接会随每行内容变化"));
        flush();
        parsed.parts.push_back({true, name});
        if (std::find(parsed.fields.begin(), parsed.fields.end(), name) == parsed.fields.end())
            parsed.fields.push_back(name);
        i = j + 1;
    }
    flush();
    return parsed;
}

std::optional<VariableTable> TableFromText(std::string bytes, std::string* error) {
    std::optional<SheetTable> sheet;
    const std::string gbk = TextFileBytesAsGbk(bytes);
    const std::string firstLine = gbk.substr(0, gbk.find_first_of("\r\n"));
    if (firstLine.find('\t') != std::string::npos)
        sheet = tabTable(gbk);
    else
        sheet = ParseCsvTable(bytes, limits());
    if (!sheet) {
        *error = G("无法读取表格（文件过大或格式错误）");
        return std::nullopt;
    }
    VariableTable table = tableFromRows(std::move(sheet->rows), sheet->clipped);
    if (table.headers.empty()) {
        *error = G("表格是空的：第一行应是列名");
        return std::nullopt;
    }
    return table;
}

std::optional<VariableTable> ReadVariableTable(const std::string& path, std::string* error) {
    std::error_code ec;
    // A FIFO or a device would block or never end: only regular files are read.
    if (!std::filesystem::is_regular_file(path, ec)) {
        *error = G("找不到表格文件，或它不是普通文件：") + Utf8ToGbk(path);
        return std::nullopt;
    }
    const uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxSpreadsheetFileBytes) {
        *error = G("表格文件过大或无法读取：") + Utf8ToGbk(path);
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::string head(128, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    const SpreadsheetFormat format = DetectSpreadsheetFormat(path, head);
    if (format == SpreadsheetFormat::Xls || format == SpreadsheetFormat::Xlsx ||
        format == SpreadsheetFormat::Ods) {
        std::optional<SheetTable> sheet = ReadSheetTable(path, limits());
        if (!sheet) {
            *error = G("无法读取表格（文件损坏、加密或过大）：") + Utf8ToGbk(path);
            return std::nullopt;
        }
        VariableTable table = tableFromRows(std::move(sheet->rows), sheet->clipped);
        if (table.headers.empty()) {
            *error = G("表格是空的：第一行应是列名");
            return std::nullopt;
        }
        return table;
    }
    in.clear();
    in.seekg(0);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        *error = G("无法读取表格文件：") + Utf8ToGbk(path);
        return std::nullopt;
    }
    return TableFromText(std::move(bytes), error);
}

VariableTable TableFromContacts(const std::vector<ContactRow>& contacts) {
    VariableTable table;
    for (const char* name :
         {"姓名", "手机号码", "称呼", "邮箱", "地址", "公司名称", "公司电话", "传真", "邮编"})
        table.headers.push_back(G(name));
    table.rows.reserve(contacts.size());
    uint32_t number = 0;
    for (const ContactRow& contact : contacts)
        table.rows.push_back({++number, {contact.cells.begin(), contact.cells.end()}});
    return table;
}

int FindNumberColumn(const std::vector<std::string>& headers, const std::string& chosen) {
    if (!chosen.empty()) {
        const std::string want = trimmed(chosen);
        for (size_t i = 0; i < headers.size(); ++i)
            if (headers[i] == want)
                return static_cast<int>(i);
        return -1;
    }
    const std::string names[] = {G("手机号码"), G("手机"), G("号码"), G("电话"), "mobile"};
    for (const std::string& name : names)
        for (size_t i = 0; i < headers.size(); ++i)
            if (lower(headers[i]) == name)
                return static_cast<int>(i);
    for (const std::string& name : names)
        for (size_t i = 0; i < headers.size(); ++i)
            if (lower(headers[i]).find(name) != std::string::npos)
                return static_cast<int>(i);
    return -1;
}

std::string RowProblemName(RowProblem problem) {
    switch (problem) {
        case RowProblem::EmptyCell:
            return G("空单元格");
        case RowProblem::BadNumber:
            return G("号码无法识别");
        case RowProblem::Repeat:
            return G("号码重复");
        case RowProblem::OptedOut:
            return G("已退订");
        case RowProblem::MorePieces:
            return G("超过模板条数");
    }
    return {};
}

namespace {

// The columns of the template's fields; an error names the first one the table lacks.
std::optional<std::vector<int>> fieldColumns(const ParsedTemplate& parsed,
                                             const VariableTable& table, std::string* error) {
    if (!parsed.ok()) {
        *error = parsed.error;
        return std::nullopt;
    }
    std::vector<int> columns;
    for (const TemplatePart& part : parsed.parts) {
        if (!part.field) {
            columns.push_back(-1);
            continue;
        }
        const auto it = std::find(table.headers.begin(), table.headers.end(), part.text);
        if (it == table.headers.end()) {
            *error = G("表格中没有模板字段{") + part.text + G("}对应的列");
            return std::nullopt;
        }
        columns.push_back(static_cast<int>(it - table.headers.begin()));
    }
    return columns;
}

const std::string& cellAt(const TableRow& row, int column) {
    static const std::string empty;
    return column >= 0 && static_cast<size_t>(column) < row.cells.size()
               ? row.cells[static_cast<size_t>(column)]
               : empty;
}

// A cell as it goes into the text: blanks around it trimmed, line breaks removed as the send
// removes them from every message.
void appendCell(std::string& out, const std::string& cell) {
    const std::string_view view = TrimmedView(cell);
    for (char c : view)
        if (c != '\r' && c != '\n')
            out += c;
}

std::string render(const ParsedTemplate& parsed, const std::vector<int>& columns,
                   const TableRow& row) {
    std::string out;
    for (size_t i = 0; i < parsed.parts.size(); ++i) {
        if (parsed.parts[i].field)
            appendCell(out, cellAt(row, columns[i]));
        else
            for (char c : parsed.parts[i].text)
                if (c != '\r' && c != '\n')
                    out += c;
    }
    return out;
}

}  // namespace

std::optional<std::string> RenderRow(const ParsedTemplate& parsed, const VariableTable& table,
                                     size_t rowIndex, std::string* error) {
    const std::optional<std::vector<int>> columns = fieldColumns(parsed, table, error);
    if (!columns)
        return std::nullopt;
    if (rowIndex >= table.rows.size()) {
        *error = G("没有这一行");
        return std::nullopt;
    }
    return render(parsed, *columns, table.rows[rowIndex]);
}

VariablePlan PlanVariableSms(const ParsedTemplate& parsed, const VariableTable& table,
                             const PlanOptions& options) {
    VariablePlan plan;
    plan.templateWarnings = parsed.warnings;
    plan.totals.rows = static_cast<long long>(table.rows.size());
    const std::optional<std::vector<int>> columns = fieldColumns(parsed, table, &plan.error);
    if (!columns)
        return plan;
    plan.numberColumn = FindNumberColumn(table.headers, options.numberColumn);
    if (plan.numberColumn < 0) {
        plan.error = options.numberColumn.empty()
                         ? G("找不到号码列：请把号码列的列名写成“手机号码”，或选择号码列")
                         : G("表格中没有号码列“") + options.numberColumn + G("”");
        return plan;
    }
    {
        std::string fixed;
        for (const TemplatePart& part : parsed.parts)
            if (!part.field)
                fixed += part.text;
        plan.totals.templatePieces = std::max(1, PieceCount(PlanSmsPieces(fixed)));
    }

    std::unordered_map<std::string, uint32_t> seen;   // number → its first row
    std::unordered_map<std::string, size_t> groupOf;  // rendered text → group
    std::vector<int> firstPieces;                     // pieces of each group's rendered text
    seen.reserve(table.rows.size());
    for (const TableRow& row : table.rows) {
        auto skip = [&](RowProblem problem, std::string detail) {
            plan.findings.push_back({row.row, problem, true, std::move(detail)});
            ++plan.totals.skipped;
        };
        const std::string& numberCell = cellAt(row, plan.numberColumn);
        const std::optional<std::string> number = ReadMobileNumber(numberCell);
        if (!number) {
            skip(RowProblem::BadNumber, TrimBlanks(numberCell));
            continue;
        }
        // A number counts as taken once a row sends to it (or the list holds it): a row left
        // out for an empty field does not keep a later complete row of the number out.
        if (const auto first = seen.find(*number); first != seen.end()) {
            skip(RowProblem::Repeat,
                 *number + G("（同第") + std::to_string(first->second) + G("行）"));
            continue;
        }
        if (options.optedOut && options.optedOut(*number)) {
            seen.emplace(*number, row.row);
            skip(RowProblem::OptedOut, *number);
            continue;
        }
        std::string emptyFields;
        for (size_t i = 0; i < parsed.parts.size(); ++i)
            if (parsed.parts[i].field && TrimmedView(cellAt(row, (*columns)[i])).empty() &&
                emptyFields.find("{" + parsed.parts[i].text + "}") == std::string::npos)
                emptyFields += "{" + parsed.parts[i].text + "}";
        if (!emptyFields.empty()) {
            const bool skipRow = options.emptyCells == EmptyCellPolicy::SkipRow;
            plan.findings.push_back({row.row, RowProblem::EmptyCell, skipRow, emptyFields});
            if (skipRow) {
                ++plan.totals.skipped;
                continue;
            }
        }
        seen.emplace(*number, row.row);
        std::string text = render(parsed, *columns, row);
        auto [at, isNew] = groupOf.emplace(std::move(text), plan.groups.size());
        if (isNew) {
            TextGroup group;
            group.text = at->first;
            firstPieces.push_back(PieceCount(PlanSmsPieces(group.text)));
            plan.groups.push_back(std::move(group));
        }
        TextGroup& group = plan.groups[at->second];
        group.numbers.push_back(*number);
        group.rows.push_back(row.row);
        ++plan.totals.sending;
        if (firstPieces[at->second] > plan.totals.templatePieces)
            plan.findings.push_back({row.row, RowProblem::MorePieces, false,
                                     std::to_string(firstPieces[at->second]) + G("条")});
    }

    const long long batch = std::max(1, options.batchSize);
    for (TextGroup& group : plan.groups) {
        group.outgoing = group.text;
        if (options.check) {
            ComplianceReport report = options.check(group.text);
            group.blocked = report.blocks();
            if (!report.outgoing.empty())
                group.outgoing = std::move(report.outgoing);
            group.findings = std::move(report.findings);
            plan.totals.blockedTexts += group.blocked ? 1 : 0;
        }
        group.pieces = PlanSmsPieces(group.outgoing).texts;
        const long long pieces = static_cast<long long>(group.pieces.size());
        const long long numbers = static_cast<long long>(group.numbers.size());
        plan.totals.pieces += pieces;
        plan.totals.requests += (numbers + batch - 1) / batch * pieces;
        plan.totals.units += numbers * pieces;
    }
    plan.totals.texts = static_cast<long long>(plan.groups.size());
    return plan;
}

}  // namespace smsc::variable
