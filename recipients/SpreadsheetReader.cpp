#include "recipients/SpreadsheetReader.h"

#include <freexl.h>
#include <libxml/parser.h>
#include <libxml/xmlreader.h>
#include <minizip/unzip.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unordered_map>

#include "platform/Gbk.h"
#include "recipients/NumberReader.h"
#include "recipients/PhoneRules.h"
#include "platform/TextHelpers.h"

namespace smsc {
namespace {

constexpr size_t kMobileLength = 11;

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string gbkFromUtf8(std::string_view utf8) {
    return isAscii(utf8) ? std::string(utf8) : Utf8ToGbk(utf8);
}

// Short comparisons and slices of the sheet loops, kept inline (the library calls cost more
// than the work on names of one to three letters).
inline bool is(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            return false;
    return true;
}
inline std::string_view slice(std::string_view text, size_t from, size_t to) {
    return std::string_view(text.data() + from, to - from);
}
inline std::string_view trimmed(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32)
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32)
        text.remove_suffix(1);
    return text;
}

// A cell's text as the file holds it: GBK already, or UTF-8 still to convert. Only what
// is kept is converted: a mobile number is ASCII digits, the same in both.
struct CellText {
    std::string_view bytes;
    bool utf8 = false;
};

std::string gbkOf(CellText text) {
    return text.utf8 ? gbkFromUtf8(text.bytes) : std::string(text.bytes);
}

// Receives the first sheet's cells, in any order. Returns false to stop reading (a limit).
class CellSink {
public:
    virtual ~CellSink() = default;
    // rows × columns cells from (row, column) that hold the same value (a repeated cell).
    virtual bool cells(uint32_t row, uint32_t column, uint32_t rows, uint32_t columns,
                       CellText text) = 0;
    bool cell(uint32_t row, uint32_t column, CellText text) {
        return cells(row, column, 1, 1, text);
    }
};

// Keeps what the number import needs: the valid cells that come first column by column.
// A valid cell is always 11 ASCII digits once trimmed, so it is kept as its value. Only the
// first kMaxValidCells of them in that order are ever taken, so only those are kept, whatever
// the order the format delivers cells in: memory stays bounded however large the sheet is.
// A repeated cell is kept as runs (one per column), never cell by cell.
class NumberCollector final : public CellSink {
public:
    bool cells(uint32_t row, uint32_t column, uint32_t rows, uint32_t columns,
               CellText text) override {
        const std::string_view value = trimmed(text.bytes);
        if (value.empty())
            return true;
        std::optional<std::string> read;
        if (value.size() == kMobileLength && IsMobileNumber(std::string(value)))
            read = std::string(value);  // the common cell, without the reader's walk
        else if (value.size() <= kMaxWrittenNumber && mayBeNumber(value))
            read = ReadMobileNumber(text.utf8 && !isAscii(value) ? gbkFromUtf8(value)
                                                                 : std::string(value));
        tallyRows(row, rows, read.has_value(), text, value);
        if (!read)
            return true;
        m_validCells += uint64_t{rows} * columns;
        const std::string& number = *read;
        uint64_t digits = 0;
        std::from_chars(number.data(), number.data() + number.size(), digits);
        // Later columns come later: once one is past the kept cells, so are the rest.
        for (uint64_t c = column; c < uint64_t{column} + columns; ++c) {
            if (!add(static_cast<uint32_t>(c), row, rows, digits))
                break;
        }
        return true;
    }

    std::vector<std::string> numbers() {
        // Cells are read from row 1 and column 1 up to the end of the used range. (Taking only
        // the used range's counts from A1 would lose every number of a sheet whose data
        // starts further in, e.g. numbers in column B under an empty column A.) The counter
        // rule takes at most kMaxValidCells valid cells, and no more are kept.
        compact();
        // Eleven digits each: in numeric order is in text order.
        std::vector<uint64_t> distinct;
        distinct.reserve(m_runs.size());
        for (const Run& run : m_runs)
            distinct.push_back(run.digits);
        std::sort(distinct.begin(), distinct.end());
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        std::vector<std::string> numbers;
        numbers.reserve(distinct.size());
        for (uint64_t digits : distinct)
            numbers.push_back(std::to_string(digits));
        return numbers;
    }

    // Rows read, rows without a number (the first of them as text), repeats among the cells
    // taken, and how many numbers the sheet holds (past the cells taken, counted with their
    // repeats). Call after numbers().
    void tally(size_t distinct, ImportTally& tally, long long& numbersInSheet) const {
        uint64_t taken = 0;
        for (const Run& run : m_runs)
            taken += run.count;
        tally.duplicates = static_cast<long long>(taken - distinct);
        numbersInSheet = static_cast<long long>(m_validCells - (taken - distinct));
        for (size_t row = 0; row < m_rowState.size(); ++row) {
            const uint8_t state = m_rowState[row];
            if (state & kRowValue)
                ++tally.lines;
            if ((state & (kRowValue | kRowNumber)) != kRowValue)
                continue;
            ++tally.unrecognised;
            if (tally.unrecognisedLines.size() < kListedUnrecognised && row < m_rowText.size())
                tally.unrecognisedLines.push_back(gbkOf({m_rowText[row], (state & kRowUtf8) != 0}));
        }
    }

private:
    // `count` cells of one column from `row` down.
    struct Run {
        uint64_t key;  // column, then row: the reading order
        uint64_t count;
        uint64_t digits;
    };
    static uint64_t keyOf(uint32_t column, uint32_t row) { return uint64_t{column} << 32 | row; }

    // False when no cell of the run can be among the cells taken.
    bool add(uint32_t column, uint32_t row, uint64_t count, uint64_t digits) {
        const uint64_t first = keyOf(column, row);
        if (m_full && first > m_lastKept)
            return false;
        if (m_full && count > m_lastKept - first + 1)
            count = m_lastKept - first + 1;  // same column: the keys of a run are consecutive
        m_runs.push_back({first, count, digits});
        if (m_runs.size() >= m_compactAt)
            compact();
        return true;
    }

    // Sorts the runs and keeps the first kMaxValidCells cells.
    void compact() {
        std::sort(m_runs.begin(), m_runs.end(),
                  [](const Run& a, const Run& b) { return a.key < b.key; });
        uint64_t taken = 0;
        for (size_t i = 0; i < m_runs.size(); ++i) {
            if (taken + m_runs[i].count >= static_cast<uint64_t>(kMaxValidCells)) {
                m_runs[i].count = static_cast<uint64_t>(kMaxValidCells) - taken;
                m_runs.resize(i + 1);
                m_full = true;
                m_lastKept = m_runs[i].key + m_runs[i].count - 1;
                break;
            }
            taken += m_runs[i].count;
        }
        m_compactAt = std::max<size_t>(2 * m_runs.size(), 1 << 16);
    }

    // At most kShownBytes of a text, cut between characters: enough to see what a row was.
    static std::string_view shortened(std::string_view text, bool utf8) {
        if (text.size() <= kShownBytes)
            return text;
        size_t end = 0;
        if (utf8) {
            end = kShownBytes;
            while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
                --end;
        } else {
            for (size_t at = 0; at < kShownBytes;) {
                end = at;
                at += static_cast<unsigned char>(text[at]) >= 0x81 ? 2 : 1;
                if (at <= kShownBytes)
                    end = at;
            }
        }
        return text.substr(0, end);
    }

    // Whether a cell can be a written number by its first byte: a digit, "+" or "(", or the
    // first byte of a full-width form in UTF-8 (EF, E3) or GBK (A3, A1). Names and other
    // words are not converted from UTF-8 only to be turned down.
    static bool mayBeNumber(std::string_view value) {
        const unsigned char c = static_cast<unsigned char>(value.front());
        return (c >= '0' && c <= '9') || c == '+' || c == '(' || c == 0xEF || c == 0xE3 ||
               c == 0xA3 || c == 0xA1;
    }

    // Marks the rows of a cell: holding a value, holding a number. A row's first text is kept
    // (as the file holds it) while the row has no number, for the first kTextRows rows: cells
    // come column by column, so a row's number may come after its other cells.
    void tallyRows(uint32_t row, uint32_t rows, bool number, CellText text,
                   std::string_view value) {
        if (uint64_t{row} + rows > uint64_t{kMaxSheetRows} + 1 || m_rowMarks > kMaxRowMarks)
            return;
        if (m_rowState.size() < row + rows)
            m_rowState.resize(row + rows);
        m_rowMarks += rows;
        const uint32_t textEnd = std::min<uint32_t>(row + rows, kTextRows);
        if (m_rowText.size() < textEnd)
            m_rowText.resize(textEnd);
        for (uint32_t r = row; r < row + rows; ++r) {
            uint8_t& state = m_rowState[r];
            if (number) {
                state |= kRowValue | kRowNumber;
                if (r < textEnd)
                    std::string().swap(m_rowText[r]);
            } else if (!(state & kRowValue)) {
                state |= kRowValue | (text.utf8 ? kRowUtf8 : 0);
                if (r < textEnd)
                    m_rowText[r].assign(shortened(value, text.utf8));
            }
        }
    }

    static constexpr uint8_t kRowValue = 1, kRowNumber = 2, kRowUtf8 = 4;
    static constexpr uint32_t kTextRows = 200000;
    static constexpr size_t kShownBytes = 120;
    static constexpr uint64_t kMaxRowMarks = 64ULL * 1000 * 1000;
    // The longest cell text read as one number: 0086, 11 digits in full width, blanks.
    static constexpr size_t kMaxWrittenNumber = 64;
    std::vector<uint8_t> m_rowState;
    uint64_t m_rowMarks = 0;
    std::vector<std::string> m_rowText;
    uint64_t m_validCells = 0;
    std::vector<Run> m_runs;
    size_t m_compactAt = 1 << 16;
    bool m_full = false;  // the runs hold kMaxValidCells cells, the last at m_lastKept
    uint64_t m_lastKept = 0;
};

class CellRecorder final : public CellSink {
public:
    bool cells(uint32_t row, uint32_t column, uint32_t rows, uint32_t columns,
               CellText text) override {
        if (uint64_t{rows} * columns > kMaxSheetCells - recorded.size())
            return false;
        const std::string gbk = gbkOf(text);
        for (uint32_t r = 0; r < rows; ++r)
            for (uint32_t c = 0; c < columns; ++c)
                recorded.push_back({row + r, column + c, gbk});
        return true;
    }
    std::vector<SheetCell> recorded;
};

// Keeps the cells of the first rows and columns as a table.
class TableCollector final : public CellSink {
public:
    explicit TableCollector(const SheetTableLimits& limits) : m_limits(limits) {}

    bool cells(uint32_t row, uint32_t column, uint32_t rows, uint32_t columns,
               CellText text) override {
        if (text.bytes.empty())
            return true;
        if (uint64_t{row} + rows - 1 > m_limits.maxRows)
            m_clipped = true;
        if (row > m_limits.maxRows || column > m_limits.maxColumns)
            return true;
        const uint32_t lastRow =
            static_cast<uint32_t>(std::min<uint64_t>(uint64_t{row} + rows - 1, m_limits.maxRows));
        const uint32_t lastColumn = static_cast<uint32_t>(
            std::min<uint64_t>(uint64_t{column} + columns - 1, m_limits.maxColumns));
        const std::string gbk = gbkOf(text);
        // What the table takes in memory, its own bookkeeping included.
        for (uint32_t r = row; r <= lastRow; ++r) {
            auto [at, added] = m_rows.try_emplace(r);
            std::vector<std::string>& cells = at->second;
            m_bytes +=
                (added ? kRowBytes : 0) +
                (cells.size() < lastColumn ? (lastColumn - cells.size()) : 0) * sizeof(std::string);
            if (cells.size() < lastColumn)
                cells.resize(lastColumn);
            for (uint32_t c = column; c <= lastColumn; ++c) {
                m_bytes += gbk.size();
                if (m_bytes > m_limits.maxBytes)
                    return false;
                cells[c - 1] = gbk;
            }
        }
        return true;
    }

    SheetTable table() {
        SheetTable table;
        table.clipped = m_clipped;
        for (auto& [row, cells] : m_rows)
            table.rows.push_back({row, std::move(cells)});
        return table;
    }

private:
    static constexpr uint64_t kRowBytes = 64;
    SheetTableLimits m_limits;
    std::map<uint32_t, std::vector<std::string>> m_rows;
    uint64_t m_bytes = 0;
    bool m_clipped = false;
};

std::optional<uint64_t> fileSize(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return static_cast<uint64_t>(info.st_size);
}

std::optional<std::string> readFile(const std::string& path, uint64_t limit) {
    const std::optional<uint64_t> size = fileSize(path);
    if (!size || *size > limit)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes(static_cast<size_t>(*size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (static_cast<uint64_t>(in.gcount()) != *size)
        return std::nullopt;
    return bytes;
}

// ---- .xls ----------------------------------------------------------------------------------

class XlsHandle {
public:
    ~XlsHandle() {
        if (handle)
            freexl_close(handle);
    }
    const void* handle = nullptr;
};

bool readXls(const std::string& path, CellSink& sink) {
    const std::optional<uint64_t> size = fileSize(path);
    if (!size || *size > kMaxSpreadsheetFileBytes)
        return false;
    XlsHandle xls;
    if (freexl_open(path.c_str(), &xls.handle) != FREEXL_OK)
        return false;
    unsigned int info = 0;
    if (freexl_get_info(xls.handle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
        info == FREEXL_BIFF_OBFUSCATED)
        return false;
    unsigned int sheets = 0;
    if (freexl_get_info(xls.handle, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK || sheets == 0)
        return false;
    if (freexl_select_active_worksheet(xls.handle, 0) != FREEXL_OK)
        return false;
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_worksheet_dimensions(xls.handle, &rows, &columns) != FREEXL_OK)
        return false;
    // The library's counts are not clearly counts or last indexes: one more is asked for
    // and its "no such cell" answer ignored.
    for (unsigned int column = 0; column <= columns; ++column) {
        for (unsigned int row = 0; row <= rows; ++row) {
            FreeXL_CellValue value{};
            if (freexl_get_cell_value(xls.handle, row, static_cast<unsigned short>(column),
                                      &value) != FREEXL_OK)
                continue;
            std::string number;
            CellText text;
            switch (value.type) {
                case FREEXL_CELL_NULL:
                    continue;
                case FREEXL_CELL_INT:
                    number = std::to_string(value.value.int_value);
                    text.bytes = number;
                    break;
                case FREEXL_CELL_DOUBLE:
                    number = NumberCellText(value.value.double_value);
                    text.bytes = number;
                    break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME:
                    if (value.value.text_value)
                        text = {value.value.text_value, true};
                    break;
                default:
                    break;
            }
            if (!sink.cell(row + 1, column + 1, text))
                return false;
        }
    }
    return true;
}

// ---- .xlsx ---------------------------------------------------------------------------------

// The package's entries, each read as a stream: no entry is ever held whole, so memory stays
// small whatever an entry inflates to.
class ZipReader {
public:
    explicit ZipReader(const std::string& path) : m_zip(unzOpen64(path.c_str())) {}
    ~ZipReader() {
        close();
        if (m_zip)
            unzClose(m_zip);
    }
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;
    bool isOpen() const { return m_zip != nullptr; }

    // The uncompressed size the entry's header declares; reading it never gives more.
    std::optional<uint64_t> declaredSize(const std::string& name) {
        close();
        unz_file_info64 info{};
        if (!m_zip || unzLocateFile(m_zip, name.c_str(), 2) != UNZ_OK ||
            unzGetCurrentFileInfo64(m_zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            return std::nullopt;
        return info.uncompressed_size;
    }

    // Opens an entry for read(); false when it is missing, broken or over the size limit.
    // Part names are compared without regard to case, as the package format asks.
    bool open(const std::string& name) {
        close();
        if (!m_zip || unzLocateFile(m_zip, name.c_str(), 2) != UNZ_OK)
            return false;
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(m_zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            return false;
        if (info.uncompressed_size > kMaxZipEntryBytes || unzOpenCurrentFile(m_zip) != UNZ_OK)
            return false;
        m_entryOpen = true;
        m_failed = false;
        m_read = 0;
        m_limit = info.uncompressed_size;
        return true;
    }
    // The next inflated bytes of the open entry: their count, 0 at its end, -1 when the data
    // is broken or passes its declared size (itself within the limit).
    int read(char* buffer, int size) {
        if (!m_entryOpen || m_failed)
            return -1;
        const int got = unzReadCurrentFile(m_zip, buffer, static_cast<unsigned>(size));
        if (got < 0 || (m_read += static_cast<uint64_t>(std::max(got, 0))) > m_limit) {
            m_failed = true;
            return -1;
        }
        return got;
    }
    // Closes the entry; false when reading it failed or, once read to the end, its CRC does
    // not match.
    bool close() {
        if (!m_entryOpen)
            return true;
        m_entryOpen = false;
        return unzCloseCurrentFile(m_zip) == UNZ_OK && !m_failed;
    }

private:
    unzFile m_zip;
    bool m_entryOpen = false;
    bool m_failed = false;
    uint64_t m_read = 0;
    uint64_t m_limit = 0;
};

void silenceXmlErrors(void*, const char*, xmlParserSeverities, xmlTextReaderLocatorPtr) {}

// A pull reader over the open entry of a zip: no network, no DTD loading, no entity
// substitution.
class XmlReader {
public:
    explicit XmlReader(ZipReader& zip) {
        static std::once_flag once;
        std::call_once(once, [] { xmlInitParser(); });
        m_reader = xmlReaderForIO(
            [](void* context, char* buffer, int size) {
                return static_cast<ZipReader*>(context)->read(buffer, size);
            },
            [](void*) { return 0; }, &zip, nullptr, nullptr,
            XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT);
        if (m_reader)
            xmlTextReaderSetErrorHandler(m_reader, silenceXmlErrors, nullptr);
    }
    ~XmlReader() {
        if (m_reader)
            xmlFreeTextReader(m_reader);
    }
    XmlReader(const XmlReader&) = delete;
    XmlReader& operator=(const XmlReader&) = delete;

    // Next node: 1 when there is one, 0 at the end, -1 on an error.
    int next() { return m_reader ? xmlTextReaderRead(m_reader) : -1; }
    int type() const { return xmlTextReaderNodeType(m_reader); }
    bool isElement() const { return type() == XML_READER_TYPE_ELEMENT; }
    bool isEnd() const { return type() == XML_READER_TYPE_END_ELEMENT; }
    bool isText() const {
        const int t = type();
        return t == XML_READER_TYPE_TEXT || t == XML_READER_TYPE_CDATA ||
               t == XML_READER_TYPE_SIGNIFICANT_WHITESPACE || t == XML_READER_TYPE_WHITESPACE;
    }
    bool isEmptyElement() const { return xmlTextReaderIsEmptyElement(m_reader) == 1; }
    std::string_view localName() const {
        const xmlChar* name = xmlTextReaderConstLocalName(m_reader);
        return name ? std::string_view(reinterpret_cast<const char*>(name)) : std::string_view();
    }
    std::string_view value() const {
        const xmlChar* text = xmlTextReaderConstValue(m_reader);
        return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
    }
    // The attribute of the current element with this local name, in any namespace.
    std::optional<std::string> attribute(std::string_view name) {
        std::optional<std::string> found;
        if (xmlTextReaderMoveToFirstAttribute(m_reader) != 1)
            return found;
        do {
            if (localName() == name) {
                found = std::string(value());
                break;
            }
        } while (xmlTextReaderMoveToNextAttribute(m_reader) == 1);
        xmlTextReaderMoveToElement(m_reader);
        return found;
    }

private:
    xmlTextReaderPtr m_reader = nullptr;
};

// Runs parse over the part named; false when the part is missing, broken or parse fails. A
// parse may stop early (it has what it needs).
template <typename Parse>
bool parsePart(ZipReader& zip, const std::string& part, Parse&& parse) {
    if (!zip.open(part))
        return false;
    bool ok;
    {
        XmlReader xml(zip);
        ok = parse(xml);
    }
    return zip.close() && ok;
}

// The attributes of a start tag: local names and values.
class Attributes {
public:
    struct Attribute {
        std::string_view name;
        std::string_view value;
    };
    // ampAsCharRef: libxml2's SAX parser leaves a "&amp;" in a value as "&#38;".
    Attributes(const std::vector<Attribute>& list, bool ampAsCharRef)
        : m_list(list), m_ampAsCharRef(ampAsCharRef) {}
    // The value of the attribute with this local name, in any namespace.
    std::optional<std::string_view> find(std::string_view name) const {
        for (const Attribute& a : m_list)
            if (is(a.name, name))
                return a.value;
        return std::nullopt;
    }
    // The same as text.
    std::optional<std::string> text(std::string_view name) const {
        const std::optional<std::string_view> raw = find(name);
        if (!raw)
            return std::nullopt;
        std::string value(*raw);
        if (m_ampAsCharRef) {
            for (size_t at = value.find("&#38;"); at != std::string::npos;
                 at = value.find("&#38;", at + 1))
                value.replace(at, 5, "&");
        }
        return value;
    }

private:
    const std::vector<Attribute>& m_list;
    bool m_ampAsCharRef;
};

// What a part's parse reports to. stop() ends the parse early: with what it needs, or
// (failed) on content it refuses.
class SaxHandler {
public:
    virtual ~SaxHandler() = default;
    virtual void start(std::string_view name, const Attributes& attributes) = 0;
    virtual void end(std::string_view name) = 0;
    virtual void text(std::string_view chars) = 0;
    void stop(bool failed = false) {
        m_stopped = true;
        m_failed = m_failed || failed;
    }
    bool stopped() const { return m_stopped; }
    bool failed() const { return m_failed; }

private:
    bool m_stopped = false;
    bool m_failed = false;
};

void appendCodePoint(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Appends text with its character and predefined entity references replaced. Any other
// reference is left out when the document has a document type (its entities are never
// expanded, nor loaded), and is an error otherwise (nothing declares it).
bool appendDecoded(std::string& out, std::string_view text, bool documentType) {
    size_t i = 0;
    while (i < text.size()) {
        const size_t amp = text.find('&', i);
        out.append(text.substr(i, amp == std::string_view::npos ? text.size() - i : amp - i));
        if (amp == std::string_view::npos)
            break;
        const size_t semi = text.find(';', amp);
        if (semi == std::string_view::npos || semi - amp > 12)
            return false;
        const std::string_view name = text.substr(amp + 1, semi - amp - 1);
        if (name == "lt") {
            out += '<';
        } else if (name == "gt") {
            out += '>';
        } else if (name == "amp") {
            out += '&';
        } else if (name == "quot") {
            out += '"';
        } else if (name == "apos") {
            out += '\'';
        } else if (name.size() >= 2 && name[0] == '#') {
            const bool hex = name[1] == 'x';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            uint32_t cp = 0;
            const auto [end, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
            if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
                cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                return false;
            appendCodePoint(out, cp);
        } else if (!documentType || name.empty()) {
            return false;
        }
        i = semi + 1;
    }
    return true;
}

// A streaming tokenizer for the UTF-8 parts office programs write, several times faster than
// libxml2 on a large sheet. It reports what the SAX parser would (elements by local name,
// decoded text) and refuses what is not well formed in ways that matter here: unbalanced or
// mismatched tags, bad references, markup left open at the end. A document type is passed
// over and its entities are never expanded. Markup is taken whole (at most kMaxMarkupBytes);
// text streams through, so memory stays small.
class FastXmlParse {
public:
    explicit FastXmlParse(SaxHandler& handler) : m_handler(handler) {}

    // Whether the part starts as a UTF-8 document (or one without a declaration, UTF-8 by
    // default); anything else is left to libxml2.
    static bool handles(std::string_view head) {
        if (head.substr(0, 3) == "\xEF\xBB\xBF")
            head.remove_prefix(3);
        // UTF-16 and the like hold NUL bytes among their first characters.
        if (head.find('\0') != std::string_view::npos)
            return false;
        if (head.substr(0, 5) != "<?xml") {
            const std::string_view start = TrimmedView(head);
            return !start.empty() && start[0] == '<';
        }
        const size_t close = head.find("?>");
        if (close == std::string_view::npos || close > 1024)
            return false;
        const std::string_view declaration = head.substr(0, close);
        const size_t at = declaration.find("encoding");
        if (at == std::string_view::npos)
            return true;
        const size_t quote = declaration.find_first_of("\"'", at);
        if (quote == std::string_view::npos)
            return false;
        const size_t end = declaration.find(declaration[quote], quote + 1);
        if (end == std::string_view::npos)
            return false;
        std::string name(declaration.substr(quote + 1, end - quote - 1));
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return name == "utf-8" || name == "utf8";
    }

    // The next bytes of the part; false once the document is refused.
    bool feed(std::string_view bytes) {
        // An unfinished markup left from the last bytes is completed first: with the bytes up to
        // its likely end while it is short, so that the rest is scanned where it lies.
        while (!m_buffer.empty() && !bytes.empty() && !m_handler.stopped()) {
            const size_t close = bytes.find('>');
            const size_t take = close == std::string_view::npos || m_buffer.size() > 4096
                                    ? bytes.size()
                                    : close + 1;
            std::string joined;
            joined.swap(m_buffer);
            joined.append(bytes.substr(0, take));
            bytes.remove_prefix(take);
            if (!scan(joined, false))
                return false;
        }
        return bytes.empty() || m_handler.stopped() || scan(bytes, false);
    }
    // The end of the part: false unless the document was complete.
    bool finish() {
        std::string rest;
        rest.swap(m_buffer);
        if (!scan(rest, true))
            return false;
        return m_handler.stopped() || (m_rootSeen && m_open.empty() && m_buffer.empty());
    }

private:
    static constexpr size_t kMaxMarkupBytes = 1 << 20;
    static constexpr size_t kMaxDepth = 256;

    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    // The bytes that end a name.
    static bool endsName(char c) {
        static const std::array<bool, 256> table = [] {
            std::array<bool, 256> t{};
            for (const char c : std::string_view(" \t\r\n>/=<"))
                t[static_cast<unsigned char>(c)] = true;
            return t;
        }();
        return table[static_cast<unsigned char>(c)];
    }

    // Scans the bytes and keeps what is left unfinished in m_buffer.
    bool scan(std::string_view buffer, bool atEnd) {
        size_t i = m_first ? skipBom(buffer) : 0;
        m_first = false;
        while (i < buffer.size() && !m_handler.stopped()) {
            if (buffer[i] != '<') {
                size_t end = buffer.find('<', i);
                if (end == std::string_view::npos) {
                    end = buffer.size();
                    // A reference cut by the chunk's end waits for the rest.
                    const size_t amp = buffer.rfind('&');
                    if (!atEnd && amp != std::string_view::npos && amp >= i &&
                        buffer.find(';', amp) == std::string_view::npos) {
                        if (end - amp > 16)
                            return false;
                        end = amp;
                    }
                }
                if (!text(slice(buffer, i, end)))
                    return false;
                i = end;
                if (i < buffer.size() && buffer[i] != '<')
                    break;  // the cut reference
                continue;
            }
            const size_t next = markup(buffer, i);
            if (next == kFailed)
                return false;
            if (next == kIncomplete)
                break;
            i = next;
        }
        m_buffer.assign(buffer.substr(std::min(i, buffer.size())));
        if (m_handler.failed())
            return false;
        if (m_handler.stopped())
            return true;
        return m_buffer.size() <= kMaxMarkupBytes && (!atEnd || m_buffer.empty());
    }

    static size_t skipBom(std::string_view buffer) {
        return buffer.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    }

    bool text(std::string_view raw) {
        if (m_open.empty())
            return TrimmedView(raw).empty();  // only blanks outside the document element
        if (raw.find('&') == std::string_view::npos) {
            m_handler.text(raw);
            return true;
        }
        m_scratch.clear();
        if (!appendDecoded(m_scratch, raw, m_documentType))
            return false;
        m_handler.text(m_scratch);
        return true;
    }

    static constexpr size_t kFailed = std::string_view::npos;
    static constexpr size_t kIncomplete = std::string_view::npos - 1;

    // The markup at buffer[i] == '<': the position after it, kIncomplete or kFailed.
    size_t markup(std::string_view buffer, size_t i) {
        const std::string_view rest = slice(buffer, i, buffer.size());
        const auto skipTo = [&](std::string_view terminator, size_t from) {
            const size_t at = buffer.find(terminator, i + from);
            return at == std::string_view::npos ? kIncomplete : at + terminator.size();
        };
        if (rest.size() < 2)
            return kIncomplete;
        if (rest[1] == '?')
            return skipTo("?>", 2);
        if (rest[1] == '!') {
            if (rest.starts_with("<!--"))
                return skipTo("-->", 4);
            if (rest.starts_with("<![CDATA[")) {
                const size_t end = skipTo("]]>", 9);
                if (end == kIncomplete)
                    return end;
                if (m_open.empty())
                    return kFailed;
                m_handler.text(buffer.substr(i + 9, end - 3 - (i + 9)));
                return end;
            }
            if (rest.starts_with("<!DOCTYPE") && !m_rootSeen)
                return documentType(buffer, i);
            if (std::string_view("<!--").starts_with(rest) ||
                std::string_view("<![CDATA[").starts_with(rest) ||
                std::string_view("<!DOCTYPE").starts_with(rest))
                return kIncomplete;
            return kFailed;
        }
        return rest[1] == '/' ? endTag(buffer, i) : startTag(buffer, i);
    }

    // A document type declaration, passed over: its internal subset (in brackets, where
    // quoted values and comments may hold anything) up to the closing ">".
    size_t documentType(std::string_view buffer, size_t i) {
        bool subset = false;
        for (size_t j = i + 9; j < buffer.size(); ++j) {
            const char c = buffer[j];
            if (c == '"' || c == '\'') {
                const size_t close = buffer.find(c, j + 1);
                if (close == std::string_view::npos)
                    return kIncomplete;
                j = close;
            } else if (subset && buffer.substr(j, 4) == "<!--") {
                const size_t close = buffer.find("-->", j + 4);
                if (close == std::string_view::npos)
                    return kIncomplete;
                j = close + 2;
            } else if (c == '[') {
                subset = true;
            } else if (c == ']') {
                subset = false;
            } else if (c == '>' && !subset) {
                m_documentType = true;
                return j + 1;
            }
        }
        return kIncomplete;
    }

    // The end of the name at j; *local: where its local part starts (after a prefix's ":").
    size_t nameEnd(std::string_view buffer, size_t j, size_t* local = nullptr) const {
        if (local)
            *local = j;
        for (; j < buffer.size() && !endsName(buffer[j]); ++j)
            if (local && buffer[j] == ':')
                *local = j + 1;
        return j;
    }
    size_t skipSpace(std::string_view buffer, size_t j) const {
        while (j < buffer.size() && isSpace(buffer[j]))
            ++j;
        return j;
    }

    size_t endTag(std::string_view buffer, size_t i) {
        const size_t start = i + 2;
        size_t local = start;
        const size_t end = nameEnd(buffer, start, &local);
        const size_t close = skipSpace(buffer, end);
        if (close >= buffer.size())
            return kIncomplete;
        const std::string_view name = slice(buffer, start, end);
        if (buffer[close] != '>' || m_open.empty() ||
            !is(std::string_view(m_names).substr(m_open.back()), name))
            return kFailed;
        m_names.resize(m_open.back());
        m_open.pop_back();
        m_handler.end(slice(buffer, local, end));
        return close + 1;
    }

    size_t startTag(std::string_view buffer, size_t i) {
        const size_t start = i + 1;
        size_t local = start;
        size_t j = nameEnd(buffer, start, &local);
        if (j >= buffer.size())
            return kIncomplete;
        const std::string_view name = slice(buffer, start, j);
        const std::string_view localName = slice(buffer, local, j);
        if (name.empty())
            return kFailed;
        m_attributes.clear();
        m_values.clear();
        m_decodedAt.clear();
        bool selfClosing = false;
        for (;;) {
            j = skipSpace(buffer, j);
            if (j >= buffer.size())
                return kIncomplete;
            if (buffer[j] == '>')
                break;
            if (buffer[j] == '/') {
                if (j + 1 >= buffer.size())
                    return kIncomplete;
                if (buffer[j + 1] != '>')
                    return kFailed;
                selfClosing = true;
                ++j;
                break;
            }
            const size_t attributeStart = j;
            size_t attributeLocal = j;
            j = nameEnd(buffer, j, &attributeLocal);
            const std::string_view attribute = slice(buffer, attributeLocal, j);
            j = skipSpace(buffer, j);
            if (j >= buffer.size())
                return kIncomplete;
            if (j == attributeStart || attribute.empty() || buffer[j] != '=')
                return kFailed;
            j = skipSpace(buffer, j + 1);
            if (j >= buffer.size())
                return kIncomplete;
            const char quote = buffer[j];
            if (quote != '"' && quote != '\'')
                return kFailed;
            size_t close = j + 1;
            bool reference = false;
            for (; close < buffer.size() && buffer[close] != quote; ++close) {
                if (buffer[close] == '<')
                    return kFailed;
                reference = reference || buffer[close] == '&';
            }
            if (close >= buffer.size())
                return kIncomplete;
            const std::string_view value = slice(buffer, j + 1, close);
            if (!reference) {
                // Filled in place: a copied temporary stalls on its own stores here.
                Attributes::Attribute& added = m_attributes.emplace_back();
                added.name = attribute;
                added.value = value;
            } else {
                std::string decoded;
                if (!appendDecoded(decoded, value, m_documentType))
                    return kFailed;
                m_values.push_back(std::move(decoded));
                m_attributes.emplace_back().name = attribute;
                m_decodedAt.push_back(m_attributes.size() - 1);
            }
            j = close + 1;
            if (j < buffer.size() && !isSpace(buffer[j]) && buffer[j] != '>' && buffer[j] != '/')
                return kFailed;
        }
        // Decoded values live in m_values, whose elements no longer move.
        for (size_t k = 0; k < m_decodedAt.size(); ++k)
            m_attributes[m_decodedAt[k]].value = m_values[k];
        if (m_open.empty() && m_rootSeen)
            return kFailed;  // a second document element
        if (m_open.size() >= kMaxDepth)
            return kFailed;
        m_rootSeen = true;
        m_handler.start(localName, Attributes(m_attributes, false));
        if (selfClosing) {
            if (!m_handler.stopped())
                m_handler.end(localName);
        } else {
            m_open.push_back(m_names.size());
            m_names.append(name);
        }
        return j + 1;
    }

    SaxHandler& m_handler;
    std::string m_buffer;  // what is left of the input: an unfinished markup or reference
    bool m_first = true;
    bool m_rootSeen = false;
    bool m_documentType = false;
    std::string m_names;         // the qualified names of the open elements, one after the other
    std::vector<size_t> m_open;  // where each starts in m_names
    std::vector<Attributes::Attribute> m_attributes;
    std::vector<std::string> m_values;
    std::vector<size_t> m_decodedAt;
    std::string m_scratch;
};

void ignoreXmlError(void*, const char*, ...) {}

// The same through libxml2's SAX2 parser, for parts in any other encoding: no tree, no
// network, no entity expanded.
class LibxmlSaxParse {
public:
    explicit LibxmlSaxParse(SaxHandler& handler) : m_handler(handler) {
        static std::once_flag once;
        std::call_once(once, [] { xmlInitParser(); });
        // Encoding errors are reported outside the parser's own handlers (this thread's).
        xmlSetGenericErrorFunc(nullptr, ignoreXmlError);
        xmlSAXHandler sax{};
        sax.initialized = XML_SAX2_MAGIC;
        sax.startElementNs = [](void* context, const xmlChar* localName, const xmlChar*,
                                const xmlChar*, int, const xmlChar**, int attributeCount, int,
                                const xmlChar** attributes) {
            auto* self = static_cast<LibxmlSaxParse*>(context);
            if (self->m_handler.stopped())
                return;
            self->m_attributes.clear();
            for (int i = 0; i < attributeCount; ++i) {
                const xmlChar* const* a = attributes + 5 * i;
                self->m_attributes.push_back({reinterpret_cast<const char*>(a[0]),
                                              std::string_view(reinterpret_cast<const char*>(a[3]),
                                                               static_cast<size_t>(a[4] - a[3]))});
            }
            self->m_handler.start(reinterpret_cast<const char*>(localName),
                                  Attributes(self->m_attributes, true));
            self->haltIfStopped();
        };
        sax.endElementNs = [](void* context, const xmlChar* localName, const xmlChar*,
                              const xmlChar*) {
            auto* self = static_cast<LibxmlSaxParse*>(context);
            if (self->m_handler.stopped())
                return;
            self->m_handler.end(reinterpret_cast<const char*>(localName));
            self->haltIfStopped();
        };
        const auto characters = [](void* context, const xmlChar* chars, int length) {
            auto* self = static_cast<LibxmlSaxParse*>(context);
            if (!self->m_handler.stopped())
                self->m_handler.text(std::string_view(reinterpret_cast<const char*>(chars),
                                                      static_cast<size_t>(length)));
        };
        sax.characters = characters;
        sax.cdataBlock = characters;
        // No entityDecl handler: declared entities are never recorded, so a reference to one
        // makes the part unreadable instead of being expanded (or loaded).
        sax.serror = [](void*, xmlErrorPtr) {};
        m_context = xmlCreatePushParserCtxt(&sax, this, nullptr, 0, nullptr);
        if (m_context)
            xmlCtxtUseOptions(m_context, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                                             XML_PARSE_NOCDATA);
    }
    ~LibxmlSaxParse() {
        if (m_context)
            xmlFreeParserCtxt(m_context);
    }
    LibxmlSaxParse(const LibxmlSaxParse&) = delete;
    LibxmlSaxParse& operator=(const LibxmlSaxParse&) = delete;

    bool feed(std::string_view bytes) { return push(bytes, false); }
    bool finish() { return push({}, true) && (m_handler.stopped() || m_context->wellFormed); }

private:
    bool push(std::string_view bytes, bool last) {
        if (!m_context)
            return false;
        if (m_handler.stopped())
            return !m_handler.failed();
        const int error =
            xmlParseChunk(m_context, bytes.data(), static_cast<int>(bytes.size()), last ? 1 : 0);
        return m_handler.stopped() ? !m_handler.failed() : error == 0;
    }
    void haltIfStopped() {
        if (m_handler.stopped())
            xmlStopParser(m_context);
    }

    SaxHandler& m_handler;
    xmlParserCtxtPtr m_context = nullptr;
    std::vector<Attributes::Attribute> m_attributes;
};

// Runs the handler over the part named. False when the part is missing or broken, or the
// handler failed; a handler may stop early (it has what it needs).
template <typename Parse>
bool feedPart(ZipReader& zip, Parse& parse, SaxHandler& handler, std::string_view first) {
    if (!parse.feed(first))
        return false;
    char buffer[1 << 16];
    while (!handler.stopped()) {
        const int got = zip.read(buffer, sizeof buffer);
        if (got < 0)
            return false;
        if (got == 0)
            return parse.finish();
        if (!parse.feed(std::string_view(buffer, static_cast<size_t>(got))))
            return false;
    }
    return !handler.failed();
}

bool parseSaxPart(ZipReader& zip, const std::string& part, SaxHandler& handler) {
    if (!zip.open(part))
        return false;
    // Enough of the part to read its declaration.
    std::string first(4096, '\0');
    size_t have = 0;
    while (have < first.size()) {
        const int got = zip.read(first.data() + have, static_cast<int>(first.size() - have));
        if (got < 0)
            return false;
        if (got == 0)
            break;
        have += static_cast<size_t>(got);
    }
    first.resize(have);
    bool ok;
    if (FastXmlParse::handles(first)) {
        FastXmlParse parse(handler);
        ok = feedPart(zip, parse, handler, first);
    } else {
        LibxmlSaxParse parse(handler);
        ok = feedPart(zip, parse, handler, first);
    }
    const bool closed = zip.close();
    return ok && !handler.failed() && (handler.stopped() || closed);
}

// A shared-string table up to this size is kept whole: at most a few tens of MB.
constexpr uint64_t kWholeTableBytes = 8ULL * 1024 * 1024;

// The longest text a cell can hold (32767 characters) in UTF-8; anything longer is cut.
constexpr size_t kMaxCellTextBytes = 32767 * 3;

void appendBounded(std::string& text, std::string_view more) {
    if (text.size() < kMaxCellTextBytes)
        text.append(more.substr(0, kMaxCellTextBytes - text.size()));
}

struct Relationship {
    std::string id;
    std::string type;
    std::string target;
    bool external = false;
};

// Calls visit for each relationship of the part in order until it returns false.
template <typename Visit>
bool forEachRelationship(ZipReader& zip, const std::string& part, Visit&& visit) {
    return parsePart(zip, part, [&](XmlReader& xml) {
        int step;
        while ((step = xml.next()) == 1) {
            if (!xml.isElement() || xml.localName() != "Relationship")
                continue;
            Relationship rel;
            rel.id = xml.attribute("Id").value_or("");
            rel.type = xml.attribute("Type").value_or("");
            rel.target = xml.attribute("Target").value_or("");
            rel.external = xml.attribute("TargetMode").value_or("") == "External";
            if (!visit(rel))
                return true;
        }
        return step == 0;
    });
}

bool endsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

std::string folderOf(const std::string& part) {
    const size_t slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// A relationship target as a part name inside the package ("xl/worksheets/sheet1.xml").
std::string resolvePart(const std::string& sourceFolder, const std::string& target) {
    std::string joined =
        !target.empty() && target[0] == '/' ? target.substr(1) : sourceFolder + target;
    std::vector<std::string> segments;
    size_t start = 0;
    while (start <= joined.size()) {
        size_t slash = joined.find('/', start);
        if (slash == std::string::npos)
            slash = joined.size();
        const std::string segment = joined.substr(start, slash - start);
        if (segment == "..") {
            if (!segments.empty())
                segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = slash + 1;
    }
    std::string out;
    for (const std::string& segment : segments)
        out += (out.empty() ? "" : "/") + segment;
    return out;
}

std::string relsPartOf(const std::string& part) {
    const size_t slash = part.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : part.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? part : part.substr(slash + 1);
    return folder + "_rels/" + name + ".rels";
}

// The shared-string table, its texts kept as UTF-8. A table of modest declared size is kept
// whole (compactly: one text buffer and an end offset per entry). For a larger one, a first
// pass over the sheet notes the indexes its cells refer to, and only those strings are kept,
// so memory follows the sheet, never the table's own count of entries (which may be millions
// of empty ones).
class SharedStrings {
public:
    // The whole table is kept (no first pass over the sheet).
    void keepAll() {
        m_all = true;
        m_noting = false;
    }
    bool noting() const { return m_noting; }
    void note(uint32_t index) {
        m_indexes.push_back(index);
        if (m_indexes.size() >= m_compactAt) {
            compact();
            m_compactAt = std::max<size_t>(2 * m_indexes.size(), 1 << 16);
        }
    }
    // Ends the noting; the texts are set next, by table index.
    void endNoting() {
        compact();
        m_noting = false;
        m_texts.resize(m_indexes.size());
    }
    // Whether the entry at this table index is kept.
    bool keeps(uint64_t index) const {
        if (m_all)
            return true;
        return index <= UINT32_MAX &&
               std::binary_search(m_indexes.begin(), m_indexes.end(), static_cast<uint32_t>(index));
    }
    // True also when no later one is.
    bool beyondLastKept(uint64_t index) const {
        return !m_all && (m_indexes.empty() || index > m_indexes.back());
    }
    // Sets the entry at this table index (entries come in table order).
    void set(uint64_t index, std::string_view text) {
        if (m_all) {
            m_arena.append(text);
            m_ends.push_back(m_arena.size());
        } else if (keeps(index)) {
            const auto it =
                std::lower_bound(m_indexes.begin(), m_indexes.end(), static_cast<uint32_t>(index));
            m_texts[static_cast<size_t>(it - m_indexes.begin())] = text;
        }
    }
    std::string_view text(uint32_t index) const {
        if (m_all) {
            if (index >= m_ends.size())
                return {};
            const size_t start = index == 0 ? 0 : m_ends[index - 1];
            return std::string_view(m_arena).substr(start, m_ends[index] - start);
        }
        const auto it = std::lower_bound(m_indexes.begin(), m_indexes.end(), index);
        if (it == m_indexes.end() || *it != index)
            return {};
        return m_texts[static_cast<size_t>(it - m_indexes.begin())];
    }

private:
    void compact() {
        std::sort(m_indexes.begin(), m_indexes.end());
        m_indexes.erase(std::unique(m_indexes.begin(), m_indexes.end()), m_indexes.end());
        m_indexes.shrink_to_fit();
    }

    bool m_all = false;
    bool m_noting = true;
    size_t m_compactAt = 1 << 16;
    std::vector<uint32_t> m_indexes;  // noted indexes, sorted once noting ends
    std::vector<std::string> m_texts;
    std::string m_arena;  // keepAll: every text, one after the other
    std::vector<size_t> m_ends;
};

// The table's entries in order, up to the last one kept. Rich text runs (<r>) give their
// <t> texts; reading hints (<rPh>) are not part of the text.
class SharedStringsParse final : public SaxHandler {
public:
    explicit SharedStringsParse(SharedStrings& shared) : m_shared(shared) {}

    void start(std::string_view name, const Attributes&) override {
        if (m_shared.beyondLastKept(m_index)) {
            stop();  // no later entry is used
            return;
        }
        if (is(name, "si")) {
            m_current.clear();
            m_inItem = true;
            m_kept = m_shared.keeps(m_index);
            m_textDepth = m_phoneticDepth = 0;
        } else if (is(name, "rPh")) {
            ++m_phoneticDepth;
        } else if (is(name, "t")) {
            ++m_textDepth;
        }
    }
    void end(std::string_view name) override {
        if (is(name, "si") && m_inItem) {
            if (m_kept)
                m_shared.set(m_index, m_current);
            m_inItem = false;
            ++m_index;
        } else if (is(name, "rPh")) {
            m_phoneticDepth = std::max(0, m_phoneticDepth - 1);
        } else if (is(name, "t")) {
            m_textDepth = std::max(0, m_textDepth - 1);
        }
    }
    void text(std::string_view chars) override {
        if (m_inItem && m_kept && m_textDepth > 0 && m_phoneticDepth == 0)
            appendBounded(m_current, chars);
    }

private:
    SharedStrings& m_shared;
    std::string m_current;
    uint64_t m_index = 0;
    bool m_inItem = false;
    bool m_kept = false;
    int m_textDepth = 0;
    int m_phoneticDepth = 0;
};

// "B7" → column 2, row 7. False when the reference is not letters followed by digits.
bool parseCellReference(std::string_view ref, uint32_t& row, uint32_t& column) {
    size_t i = 0;
    uint64_t col = 0;
    while (i < ref.size() &&
           ((ref[i] >= 'A' && ref[i] <= 'Z') || (ref[i] >= 'a' && ref[i] <= 'z'))) {
        col = col * 26 + static_cast<uint64_t>((ref[i] | 0x20) - 'a' + 1);
        if (col > kMaxSheetColumns)
            return false;
        ++i;
    }
    uint64_t r = 0;
    const size_t digitsStart = i;
    while (i < ref.size() && ref[i] >= '0' && ref[i] <= '9') {
        r = r * 10 + static_cast<uint64_t>(ref[i] - '0');
        if (r > kMaxSheetRows)
            return false;
        ++i;
    }
    if (col == 0 || i == digitsStart || i != ref.size() || r == 0)
        return false;
    row = static_cast<uint32_t>(r);
    column = static_cast<uint32_t>(col);
    return true;
}

std::optional<uint32_t> parseIndex(std::string_view text) {
    text = trimmed(text);
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// A number's text as the application shows it; nullopt when the text is no number.
std::optional<std::string> numberText(std::string_view value) {
    const std::string_view number = trimmed(value);
    // A whole number written plainly is its own text (the common case: no conversion).
    if (!number.empty() && number.size() <= 15 && (number[0] != '0' || number.size() == 1) &&
        std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::string(number);
    double parsed = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), parsed);
    if (number.empty() || error != std::errc() || end != number.data() + number.size())
        return std::nullopt;
    return NumberCellText(parsed);
}

// The cells of a worksheet part, in document order.
class SheetParse final : public SaxHandler {
public:
    SheetParse(SharedStrings& shared, CellSink& sink) : m_shared(shared), m_sink(sink) {}

    void start(std::string_view name, const Attributes& attributes) override {
        if (is(name, "row")) {
            const std::optional<std::string_view> r = attributes.find("r");
            const std::optional<uint32_t> number = r ? parseIndex(*r) : std::nullopt;
            if (r && (!number || *number == 0 || *number > kMaxSheetRows))
                return stop(true);
            m_row = number ? *number : m_row + 1;
            m_lastColumn = 0;
        } else if (is(name, "c")) {
            m_type = attributes.find("t").value_or("n");
            m_value.clear();
            m_inlineText.clear();
            m_valueDepth = m_inlineDepth = m_textDepth = m_phoneticDepth = 0;
            if (const std::optional<std::string_view> ref = attributes.find("r")) {
                if (!parseCellReference(*ref, m_cellRow, m_cellColumn))
                    return stop(true);
            } else {
                m_cellRow = m_row == 0 ? 1 : m_row;
                m_cellColumn = m_lastColumn + 1;
            }
            m_lastColumn = m_cellColumn;
            if (m_row == 0)
                m_row = m_cellRow;
            m_inCell = true;
        } else if (m_inCell) {
            if (is(name, "v"))
                ++m_valueDepth;
            else if (is(name, "is"))
                ++m_inlineDepth;
            else if (is(name, "t"))
                ++m_textDepth;
            else if (is(name, "rPh"))
                ++m_phoneticDepth;
        }
    }
    void end(std::string_view name) override {
        if (name.size() > 3)
            return;  // none of the names below
        if (is(name, "c") && m_inCell) {
            m_inCell = false;
            if (!endCell())
                stop(true);
        } else if (is(name, "v")) {
            m_valueDepth = std::max(0, m_valueDepth - 1);
        } else if (is(name, "is")) {
            m_inlineDepth = std::max(0, m_inlineDepth - 1);
        } else if (is(name, "t")) {
            m_textDepth = std::max(0, m_textDepth - 1);
        } else if (is(name, "rPh")) {
            m_phoneticDepth = std::max(0, m_phoneticDepth - 1);
        }
    }
    void text(std::string_view chars) override {
        if (!m_inCell)
            return;
        if (m_valueDepth > 0)
            appendBounded(m_value, chars);
        else if (m_inlineDepth > 0 && m_textDepth > 0 && m_phoneticDepth == 0)
            appendBounded(m_inlineText, chars);
    }

private:
    // The text of the cell by its type attribute.
    bool endCell() {
        if (m_type == "s") {
            const std::optional<uint32_t> index = parseIndex(m_value);
            if (!index)
                return m_sink.cell(m_cellRow, m_cellColumn, {});
            if (m_shared.noting()) {
                m_shared.note(*index);
                return true;
            }
            return m_sink.cell(m_cellRow, m_cellColumn, {m_shared.text(*index), true});
        }
        if (m_type == "inlineStr")
            return m_sink.cell(m_cellRow, m_cellColumn, {m_inlineText, true});
        if (m_type == "b")
            return m_sink.cell(m_cellRow, m_cellColumn,
                               {trimmed(m_value) == "1" ? "TRUE" : "FALSE"});
        if (m_type != "str" && m_type != "e" && m_type != "d") {
            if (const std::optional<std::string> number = numberText(m_value))
                return m_sink.cell(m_cellRow, m_cellColumn, {*number});
        }
        return m_sink.cell(m_cellRow, m_cellColumn, {m_value, true});
    }

    SharedStrings& m_shared;
    CellSink& m_sink;
    uint32_t m_row = 0;         // current row number
    uint32_t m_lastColumn = 0;  // column of the previous cell of the row
    bool m_inCell = false;
    uint32_t m_cellRow = 0, m_cellColumn = 0;
    std::string m_type, m_value, m_inlineText;
    int m_valueDepth = 0, m_inlineDepth = 0, m_textDepth = 0, m_phoneticDepth = 0;
};

// Discards every cell: the first pass over a sheet only notes its shared-string indexes.
class NoSink final : public CellSink {
public:
    bool cells(uint32_t, uint32_t, uint32_t, uint32_t, CellText) override { return true; }
};

bool readXlsx(ZipReader& zip, CellSink& sink) {
    // The workbook part, named by the package's relationships ("xl/workbook.xml" as a rule).
    std::string workbookPart = "xl/workbook.xml";
    forEachRelationship(zip, "_rels/.rels", [&](const Relationship& rel) {
        if (rel.external || !endsWith(rel.type, "/officeDocument"))
            return true;
        workbookPart = resolvePart("", rel.target);
        return false;
    });
    // The workbook's worksheets by relationship id, and its shared-string table.
    const std::string folder = folderOf(workbookPart);
    std::unordered_map<std::string, std::string> worksheets;
    std::string sharedPart;
    const bool relsRead =
        forEachRelationship(zip, relsPartOf(workbookPart), [&](const Relationship& rel) {
            if (rel.external)
                return true;
            if (endsWith(rel.type, "/worksheet"))
                worksheets.insert_or_assign(rel.id, resolvePart(folder, rel.target));
            else if (sharedPart.empty() && endsWith(rel.type, "/sharedStrings"))
                sharedPart = resolvePart(folder, rel.target);
            return true;
        });
    if (!relsRead)
        return false;

    // The first sheet of the workbook's sheet list that is a worksheet.
    std::string sheetPart;
    const bool workbookRead = parsePart(zip, workbookPart, [&](XmlReader& xml) {
        int step;
        while ((step = xml.next()) == 1) {
            if (!xml.isElement() || xml.localName() != "sheet")
                continue;
            if (const std::optional<std::string> id = xml.attribute("id")) {
                if (const auto found = worksheets.find(*id); found != worksheets.end()) {
                    sheetPart = found->second;
                    return true;
                }
            }
        }
        return step == 0;
    });
    if (!workbookRead || sheetPart.empty())
        return false;

    SharedStrings shared;
    const std::optional<uint64_t> tableSize =
        sharedPart.empty() ? std::nullopt : zip.declaredSize(sharedPart);
    if (!sharedPart.empty() && !tableSize)
        return false;
    if (tableSize && *tableSize <= kWholeTableBytes) {
        // The declared size bounds what is inflated (the zip reader stops there).
        shared.keepAll();
        SharedStringsParse table(shared);
        if (!parseSaxPart(zip, sharedPart, table))
            return false;
    } else if (tableSize) {
        NoSink none;
        SheetParse noting(shared, none);
        if (!parseSaxPart(zip, sheetPart, noting))
            return false;
        shared.endNoting();
        SharedStringsParse table(shared);
        if (!parseSaxPart(zip, sharedPart, table))
            return false;
    } else {
        shared.endNoting();
    }
    SheetParse sheet(shared, sink);
    return parseSaxPart(zip, sheetPart, sheet);
}

// ---- .ods ----------------------------------------------------------------------------------

constexpr std::string_view kOdsMimeType = "application/vnd.oasis.opendocument.spreadsheet";

// Whether the package's "mimetype" entry names an OpenDocument spreadsheet.
bool isOdsPackage(ZipReader& zip) {
    const std::optional<uint64_t> size = zip.declaredSize("mimetype");
    if (!size || *size > 256 || !zip.open("mimetype"))
        return false;
    char buffer[257];
    int total = 0;
    for (int got; (got = zip.read(buffer + total, 256 - total)) > 0;)
        total += got;
    const bool closed = zip.close();
    return closed && trimmed(std::string_view(buffer, static_cast<size_t>(total))) == kOdsMimeType;
}

// A repeat count: 1 when missing or not a positive number, at most `limit`.
uint32_t repeatCount(const Attributes& attributes, std::string_view name, uint32_t limit) {
    const std::optional<std::string_view> text = attributes.find(name);
    if (!text)
        return 1;
    const std::string_view digits = trimmed(*text);
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error == std::errc::result_out_of_range)
        return limit;
    if (error != std::errc() || end != digits.data() + digits.size() || value == 0)
        return 1;
    return static_cast<uint32_t>(std::min<uint64_t>(value, limit));
}

// The cells of the first table of content.xml. A run of repeated cells, or of repeated rows,
// is handed over as one block: an empty run only moves the position, so a sheet whose last row
// repeats a million empty cells costs nothing. Each value as text: a number's decimal digits
// when whole (as .xlsx), a boolean TRUE or FALSE, a date or time as written, text as its
// paragraphs (joined by line feeds; comments left out).
class OdsContentParse final : public SaxHandler {
public:
    explicit OdsContentParse(CellSink& sink) : m_sink(sink) {}

    void start(std::string_view name, const Attributes& attributes) override {
        if (is(name, "table")) {
            if (++m_tableDepth == 1 && m_tablesSeen++ > 0)
                stop();  // only the first sheet
            return;
        }
        if (m_tableDepth != 1)
            return;
        if (is(name, "table-row")) {
            m_rowRepeat = repeatCount(attributes, "number-rows-repeated", kMaxSheetRows);
            m_column = 1;
            m_inRow = true;
        } else if ((is(name, "table-cell") || is(name, "covered-table-cell")) && m_inRow) {
            startCell(attributes);
        } else if (m_inCell && m_collectText && m_annotationDepth == 0) {
            if (is(name, "annotation")) {
                ++m_annotationDepth;
            } else if (is(name, "p") || is(name, "h")) {
                if (m_paragraphs++ > 0)
                    appendBounded(m_text, "\n");
                ++m_paragraphDepth;
            } else if (m_paragraphDepth > 0 && is(name, "s")) {
                const size_t room = kMaxCellTextBytes - std::min(m_text.size(), kMaxCellTextBytes);
                m_text.append(
                    std::min<size_t>(repeatCount(attributes, "c", kMaxSheetColumns), room), ' ');
            } else if (m_paragraphDepth > 0 && is(name, "tab")) {
                appendBounded(m_text, "\t");
            } else if (m_paragraphDepth > 0 && is(name, "line-break")) {
                appendBounded(m_text, "\n");
            }
        } else if (m_inCell && is(name, "annotation")) {
            ++m_annotationDepth;
        }
    }
    void end(std::string_view name) override {
        if (is(name, "table")) {
            if (--m_tableDepth == 0)
                stop();  // the first sheet is read
            return;
        }
        if (m_tableDepth != 1)
            return;
        if (is(name, "table-row") && m_inRow) {
            m_inRow = false;
            m_row += m_rowRepeat;
        } else if ((is(name, "table-cell") || is(name, "covered-table-cell")) && m_inCell) {
            m_inCell = false;
            if (!endCell())
                stop(true);
        } else if (m_inCell && is(name, "annotation")) {
            m_annotationDepth = std::max(0, m_annotationDepth - 1);
        } else if (m_inCell && (is(name, "p") || is(name, "h"))) {
            m_paragraphDepth = std::max(0, m_paragraphDepth - 1);
        }
    }
    void text(std::string_view chars) override {
        if (m_tableDepth == 1 && m_inCell && m_collectText && m_paragraphDepth > 0 &&
            m_annotationDepth == 0)
            appendBounded(m_text, chars);
    }

private:
    void startCell(const Attributes& attributes) {
        m_inCell = true;
        m_columnRepeat = repeatCount(attributes, "number-columns-repeated", kMaxSheetColumns);
        m_text.clear();
        m_paragraphs = m_paragraphDepth = m_annotationDepth = 0;
        m_collectText = false;
        const std::string_view type = attributes.find("value-type").value_or("");
        if (type == "float" || type == "percentage" || type == "currency") {
            const std::optional<std::string> number =
                numberText(attributes.find("value").value_or(""));
            if (number)
                m_text = *number;
            m_collectText = !number;
        } else if (type == "boolean") {
            const std::string_view value = trimmed(attributes.find("boolean-value").value_or(""));
            m_text = value == "true" || value == "1" ? "TRUE" : "FALSE";
        } else if (type == "date" || type == "time") {
            m_text = std::string(
                attributes.find(type == "date" ? "date-value" : "time-value").value_or(""));
            m_collectText = m_text.empty();
        } else if (std::optional<std::string> value = attributes.text("string-value")) {
            appendBounded(m_text, *value);
        } else {
            m_collectText = true;  // text, or a cell without a value type
        }
    }

    bool endCell() {
        const uint64_t column = m_column;
        m_column += m_columnRepeat;
        if (m_text.empty() || m_row > kMaxSheetRows || column > kMaxSheetColumns)
            return true;
        const uint32_t rows =
            static_cast<uint32_t>(std::min<uint64_t>(m_rowRepeat, kMaxSheetRows - m_row + 1));
        const uint32_t columns = static_cast<uint32_t>(
            std::min<uint64_t>(m_columnRepeat, kMaxSheetColumns - column + 1));
        return m_sink.cells(static_cast<uint32_t>(m_row), static_cast<uint32_t>(column), rows,
                            columns, {m_text, true});
    }

    CellSink& m_sink;
    int m_tableDepth = 0;
    int m_tablesSeen = 0;
    bool m_inRow = false;
    bool m_inCell = false;
    uint64_t m_row = 1;  // of the current row; may pass the sheet's end in a broken file
    uint32_t m_rowRepeat = 1;
    uint64_t m_column = 1;
    uint32_t m_columnRepeat = 1;
    bool m_collectText = false;
    std::string m_text;
    int m_paragraphs = 0;
    int m_paragraphDepth = 0;
    int m_annotationDepth = 0;
};

bool readOds(ZipReader& zip, CellSink& sink) {
    OdsContentParse content(sink);
    return parseSaxPart(zip, "content.xml", content);
}

bool readZipSpreadsheet(const std::string& path, CellSink& sink) {
    const std::optional<uint64_t> size = fileSize(path);
    if (!size || *size > kMaxSpreadsheetFileBytes)
        return false;
    ZipReader zip(path);
    if (!zip.isOpen())
        return false;
    return isOdsPackage(zip) ? readOds(zip, sink) : readXlsx(zip, sink);
}

// ---- .csv ----------------------------------------------------------------------------------

bool hasNonAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}

bool parseCsv(std::string_view bytes, CellSink& sink) {
    std::string converted;
    if (HasUtf16Mark(bytes) || bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        // Saved as "Unicode text" or UTF-8 with its mark: read as such rather than as bytes
        // that hold no number.
        converted = TextFileBytesAsGbk(std::string(bytes));
        bytes = converted;
    } else {
        if (hasNonAscii(bytes) && IsValidUtf8(bytes)) {
            converted = Utf8ToGbk(bytes);
            bytes = converted;
        }
    }
    uint32_t row = 1, column = 1;
    std::string field;
    size_t i = 0;
    const size_t n = bytes.size();
    auto emit = [&]() {
        // An empty field is no value: it does not widen the used range.
        const bool ok = field.empty() || sink.cell(row, column, {field});
        field.clear();
        return ok;
    };
    while (i < n) {
        // One field.
        if (bytes[i] == '"') {
            ++i;
            while (i < n) {
                if (bytes[i] == '"') {
                    if (i + 1 < n && bytes[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += bytes[i++];
            }
        }
        // Unquoted text, or what follows a closing quote up to the separator, kept as is.
        while (i < n && bytes[i] != ',' && bytes[i] != '\r' && bytes[i] != '\n')
            field += bytes[i++];
        if (!emit())
            return false;
        if (i >= n)
            break;
        if (bytes[i] == ',') {
            ++i;
            ++column;
            if (i == n && !emit())  // a trailing separator ends with an empty field
                return false;
            continue;
        }
        // A record end: CR LF, LF or CR.
        if (bytes[i] == '\r' && i + 1 < n && bytes[i + 1] == '\n')
            ++i;
        ++i;
        ++row;
        column = 1;
    }
    return true;
}

bool readCsv(const std::string& path, CellSink& sink) {
    const std::optional<std::string> bytes = readFile(path, kMaxSpreadsheetFileBytes);
    return bytes && parseCsv(*bytes, sink);
}

bool readFirstSheet(const std::string& path, CellSink& sink) {
    // Only a regular file: opening a FIFO (or reading a device) named .xls would block for
    // ever or never end.
    if (!fileSize(path))
        return false;
    std::string head;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return false;
        char buffer[128] = {};
        in.read(buffer, sizeof buffer);
        head.assign(buffer, static_cast<size_t>(in.gcount()));
    }
    switch (DetectSpreadsheetFormat(path, head)) {
        case SpreadsheetFormat::Xls:
            return readXls(path, sink);
        case SpreadsheetFormat::Xlsx:
        case SpreadsheetFormat::Ods:
            // A zip either way; its "mimetype" entry tells which, wherever it lies.
            return readZipSpreadsheet(path, sink);
        case SpreadsheetFormat::Csv:
            return readCsv(path, sink);
        case SpreadsheetFormat::Unknown:
            break;
    }
    return false;
}

}  // namespace

SpreadsheetFormat DetectSpreadsheetFormat(const std::string& path, std::string_view head) {
    if (head.substr(0, 4) == std::string_view("PK\x03\x04", 4)) {
        // An OpenDocument package starts with its "mimetype" entry, stored, not compressed.
        const auto u16 = [&](size_t at) {
            return static_cast<size_t>(static_cast<unsigned char>(head[at]) |
                                       static_cast<unsigned char>(head[at + 1]) << 8);
        };
        if (head.size() >= 30 && u16(8) == 0 && u16(26) == 8 && head.substr(30, 8) == "mimetype") {
            const size_t at = 38 + u16(28);
            if (at <= head.size() && head.substr(at, kOdsMimeType.size()) == kOdsMimeType)
                return SpreadsheetFormat::Ods;
        }
        return SpreadsheetFormat::Xlsx;
    }
    if (head.substr(0, 4) == std::string_view("\xD0\xCF\x11\xE0", 4))
        return SpreadsheetFormat::Xls;
    std::string tail = path.size() >= 4 ? path.substr(path.size() - 4) : std::string();
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c | 0x20 : c); });
    return tail == ".csv" ? SpreadsheetFormat::Csv : SpreadsheetFormat::Unknown;
}

std::string NumberCellText(double value) {
    if (!std::isfinite(value))
        return {};
    char buffer[64];
    std::to_chars_result result;
    if (value == std::floor(value) && std::fabs(value) < 1e15) {
        if (value == 0)
            value = 0;  // no "-0"
        result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 0);
    } else {
        result =
            std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    }
    return std::string(buffer, result.ptr);
}

std::optional<std::vector<std::string>> ReadSpreadsheetNumbers(const std::string& path) {
    NumberCollector collector;
    if (!readFirstSheet(path, collector))
        return std::nullopt;
    return collector.numbers();
}

std::optional<SpreadsheetNumbers> ReadSpreadsheetNumbersTallied(const std::string& path) {
    NumberCollector collector;
    if (!readFirstSheet(path, collector))
        return std::nullopt;
    SpreadsheetNumbers result;
    result.numbers = collector.numbers();
    collector.tally(result.numbers.size(), result.tally, result.numbersInSheet);
    result.tally.added = static_cast<long long>(result.numbers.size());
    return result;
}

std::optional<std::vector<SheetCell>> ReadFirstSheetCells(const std::string& path) {
    CellRecorder recorder;
    if (!readFirstSheet(path, recorder))
        return std::nullopt;
    return std::move(recorder.recorded);
}

std::optional<SheetTable> ReadSheetTable(const std::string& path, const SheetTableLimits& limits) {
    TableCollector collector(limits);
    if (!readFirstSheet(path, collector))
        return std::nullopt;
    return collector.table();
}

std::optional<SheetTable> ParseCsvTable(std::string_view bytes, const SheetTableLimits& limits) {
    TableCollector collector(limits);
    if (!parseCsv(bytes, collector))
        return std::nullopt;
    return collector.table();
}

std::vector<SheetCell> ParseCsvCells(std::string_view bytes) {
    CellRecorder recorder;
    parseCsv(bytes, recorder);
    return std::move(recorder.recorded);
}

}  // namespace smsc
