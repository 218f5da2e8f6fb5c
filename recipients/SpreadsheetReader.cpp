#include "recipients/SpreadsheetReader.h"

#include <freexl.h>
#include <libxml/parser.h>
#include <libxml/xmlreader.h>
#include <minizip/unzip.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unordered_map>

#include "platform/Gbk.h"
#include "recipients/PhoneRules.h"
#include "sending/TextHelpers.h"

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

// Receives the first sheet's cells, in any order. Returns false to stop reading (a limit).
class CellSink {
public:
    virtual ~CellSink() = default;
    virtual bool cell(uint32_t row, uint32_t column, std::string_view text) = 0;
};

// Keeps what the number import needs: the valid cells that come first column by column.
// A valid cell is always 11 ASCII digits once trimmed, so it is kept as its value. Only the
// first kMaxValidCells of them in that order are ever taken, so only those are kept, whatever
// the order the format delivers cells in: memory stays bounded however large the sheet is.
class NumberCollector final : public CellSink {
public:
    bool cell(uint32_t row, uint32_t column, std::string_view text) override {
        const std::string_view value = TrimmedView(text);
        if (value.size() != kMobileLength)
            return true;
        const std::string number(value);
        if (!IsMobileNumber(number))
            return true;
        uint64_t digits = 0;
        std::from_chars(number.data(), number.data() + number.size(), digits);
        const Valid valid{column, row, digits};
        // A heap with the last kept cell on top.
        if (m_valid.size() < static_cast<size_t>(kMaxValidCells)) {
            m_valid.push_back(valid);
            std::push_heap(m_valid.begin(), m_valid.end(), before);
        } else if (before(valid, m_valid.front())) {
            std::pop_heap(m_valid.begin(), m_valid.end(), before);
            m_valid.back() = valid;
            std::push_heap(m_valid.begin(), m_valid.end(), before);
        }
        return true;
    }

    std::vector<std::string> numbers() const {
        // Cells are read from row 1 and column 1 up to the end of the used range. (Taking only
        // the used range's counts from A1 would lose every number of a sheet whose data
        // starts further in, e.g. numbers in column B under an empty column A.) The counter
        // rule takes at most kMaxValidCells valid cells, and no more are kept.
        std::set<std::string> distinct;
        for (const Valid& v : m_valid)
            distinct.insert(std::to_string(v.digits));
        return {distinct.begin(), distinct.end()};
    }

private:
    struct Valid {
        uint32_t column;
        uint32_t row;
        uint64_t digits;
    };
    // Column by column, row by row within a column.
    static bool before(const Valid& a, const Valid& b) {
        return a.column != b.column ? a.column < b.column : a.row < b.row;
    }

    std::vector<Valid> m_valid;
};

class CellRecorder final : public CellSink {
public:
    bool cell(uint32_t row, uint32_t column, std::string_view text) override {
        if (cells.size() >= kMaxSheetCells)
            return false;
        cells.push_back({row, column, std::string(text)});
        return true;
    }
    std::vector<SheetCell> cells;
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
            std::string text;
            switch (value.type) {
                case FREEXL_CELL_NULL:
                    continue;
                case FREEXL_CELL_INT:
                    text = std::to_string(value.value.int_value);
                    break;
                case FREEXL_CELL_DOUBLE:
                    text = NumberCellText(value.value.double_value);
                    break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME:
                    if (value.value.text_value)
                        text = gbkFromUtf8(value.value.text_value);
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

// The shared-string table. A table of modest declared size is kept whole (compactly: one
// text buffer and an end offset per entry). For a larger one, a first pass over the sheet
// notes the indexes its cells refer to, and only those strings are kept, so memory follows
// the sheet, never the table's own count of entries (which may be millions of empty ones).
class SharedStrings {
public:
    // The whole table is kept (no first pass over the sheet).
    void keepAll() {
        m_all = true;
        m_noting = false;
    }
    bool keepsAll() const { return m_all; }
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
    // Whether the entry at this table index is kept; false also when no later one is.
    bool keeps(uint64_t index) const {
        if (m_all)
            return true;
        return index <= UINT32_MAX &&
               std::binary_search(m_indexes.begin(), m_indexes.end(), static_cast<uint32_t>(index));
    }
    bool beyondLastKept(uint64_t index) const {
        return !m_all && (m_indexes.empty() || index > m_indexes.back());
    }
    // Sets the entry at this table index (entries come in table order).
    void set(uint64_t index, std::string_view text) {
        if (m_all) {
            m_arena.append(text);
            m_ends.push_back(static_cast<uint32_t>(m_arena.size()));
        } else if (keeps(index)) {
            const auto it =
                std::lower_bound(m_indexes.begin(), m_indexes.end(), static_cast<uint32_t>(index));
            m_texts[static_cast<size_t>(it - m_indexes.begin())] = text;
        }
    }
    std::string text(uint32_t index) const {
        if (m_all) {
            if (index >= m_ends.size())
                return {};
            const uint32_t start = index == 0 ? 0 : m_ends[index - 1];
            return m_arena.substr(start, m_ends[index] - start);
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
    std::vector<uint32_t> m_ends;
};

// The table's entries in order, up to the last one kept.
bool parseSharedStrings(XmlReader& xml, SharedStrings& shared) {
    std::string current;
    uint64_t index = 0;
    bool inItem = false;
    bool kept = false;
    int textDepth = 0;      // inside <t>
    int phoneticDepth = 0;  // inside <rPh>: reading hints, not part of the text
    auto endItem = [&] {
        if (kept)
            shared.set(index, gbkFromUtf8(current));
        inItem = false;
        ++index;
    };
    int step;
    while ((step = xml.next()) == 1) {
        if (shared.beyondLastKept(index))
            return true;  // no later entry is used
        if (xml.isElement()) {
            const std::string_view name = xml.localName();
            const bool empty = xml.isEmptyElement();
            if (name == "si") {
                current.clear();
                inItem = true;
                kept = shared.keeps(index);
                if (empty)
                    endItem();
            } else if (name == "rPh" && !empty) {
                ++phoneticDepth;
            } else if (name == "t" && !empty) {
                ++textDepth;
            }
        } else if (xml.isEnd()) {
            const std::string_view name = xml.localName();
            if (name == "si" && inItem) {
                endItem();
            } else if (name == "rPh") {
                phoneticDepth = std::max(0, phoneticDepth - 1);
            } else if (name == "t") {
                textDepth = std::max(0, textDepth - 1);
            }
        } else if (xml.isText() && inItem && kept && textDepth > 0 && phoneticDepth == 0) {
            appendBounded(current, xml.value());
        }
    }
    return step == 0;
}

// "B7" → column 2, row 7. False when the reference is not letters followed by digits.
bool parseCellReference(std::string_view ref, uint32_t& row, uint32_t& column) {
    size_t i = 0;
    uint64_t col = 0;
    while (i < ref.size() &&
           ((ref[i] >= 'A' && ref[i] <= 'Z') || (ref[i] >= 'a' && ref[i] <= 'z'))) {
        col = col * 26 + static_cast<uint64_t>((ref[i] | 0x20) - 'a' + 1);
        if (col > 16384)
            return false;
        ++i;
    }
    uint64_t r = 0;
    const size_t digitsStart = i;
    while (i < ref.size() && ref[i] >= '0' && ref[i] <= '9') {
        r = r * 10 + static_cast<uint64_t>(ref[i] - '0');
        if (r > 1048576)
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
    text = TrimmedView(text);
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// The text of a value-bearing cell of the sheet part, by its type attribute.
std::string cellText(std::string_view type, const std::string& value, const std::string& inlineText,
                     SharedStrings& shared) {
    if (type == "s") {
        const std::optional<uint32_t> index = parseIndex(value);
        if (!index)
            return {};
        if (shared.noting()) {
            shared.note(*index);
            return {};
        }
        return shared.text(*index);
    }
    if (type == "inlineStr")
        return gbkFromUtf8(inlineText);
    if (type == "b")
        return TrimmedView(value) == "1" ? "TRUE" : "FALSE";
    if (type == "str" || type == "e" || type == "d")
        return gbkFromUtf8(value);
    // A number.
    const std::string_view number = TrimmedView(value);
    double parsed = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), parsed);
    if (number.empty() || error != std::errc() || end != number.data() + number.size())
        return gbkFromUtf8(value);
    return NumberCellText(parsed);
}

bool parseSheet(XmlReader& xml, SharedStrings& shared, CellSink& sink) {
    uint32_t row = 0;         // current row number
    uint32_t lastColumn = 0;  // column of the previous cell of the row
    bool inCell = false;
    uint32_t cellRow = 0, cellColumn = 0;
    std::string type, value, inlineText;
    int valueDepth = 0, inlineDepth = 0, textDepth = 0, phoneticDepth = 0;

    auto startCell = [&]() -> bool {
        type = xml.attribute("t").value_or("n");
        value.clear();
        inlineText.clear();
        valueDepth = inlineDepth = textDepth = phoneticDepth = 0;
        const std::optional<std::string> ref = xml.attribute("r");
        if (ref) {
            if (!parseCellReference(*ref, cellRow, cellColumn))
                return false;
        } else {
            cellRow = row == 0 ? 1 : row;
            cellColumn = lastColumn + 1;
        }
        lastColumn = cellColumn;
        if (row == 0)
            row = cellRow;
        return true;
    };
    auto endCell = [&]() {
        return sink.cell(cellRow, cellColumn, cellText(type, value, inlineText, shared));
    };

    int step;
    while ((step = xml.next()) == 1) {
        if (xml.isElement()) {
            const std::string_view name = xml.localName();
            const bool empty = xml.isEmptyElement();
            if (name == "row") {
                const std::optional<std::string> r = xml.attribute("r");
                const std::optional<uint32_t> number = r ? parseIndex(*r) : std::nullopt;
                if (r && (!number || *number == 0 || *number > 1048576))
                    return false;
                row = number ? *number : row + 1;
                lastColumn = 0;
            } else if (name == "c") {
                if (!startCell())
                    return false;
                inCell = !empty;
                if (empty && !endCell())
                    return false;
            } else if (inCell && !empty) {
                if (name == "v")
                    ++valueDepth;
                else if (name == "is")
                    ++inlineDepth;
                else if (name == "t")
                    ++textDepth;
                else if (name == "rPh")
                    ++phoneticDepth;
            }
        } else if (xml.isEnd()) {
            const std::string_view name = xml.localName();
            if (name == "c" && inCell) {
                inCell = false;
                if (!endCell())
                    return false;
            } else if (name == "v") {
                valueDepth = std::max(0, valueDepth - 1);
            } else if (name == "is") {
                inlineDepth = std::max(0, inlineDepth - 1);
            } else if (name == "t") {
                textDepth = std::max(0, textDepth - 1);
            } else if (name == "rPh") {
                phoneticDepth = std::max(0, phoneticDepth - 1);
            }
        } else if (inCell && xml.isText()) {
            if (valueDepth > 0)
                appendBounded(value, xml.value());
            else if (inlineDepth > 0 && textDepth > 0 && phoneticDepth == 0)
                appendBounded(inlineText, xml.value());
        }
    }
    return step == 0;
}

// Discards every cell: the first pass over a sheet only notes its shared-string indexes.
class NoSink final : public CellSink {
public:
    bool cell(uint32_t, uint32_t, std::string_view) override { return true; }
};

bool readXlsx(const std::string& path, CellSink& sink) {
    const std::optional<uint64_t> size = fileSize(path);
    if (!size || *size > kMaxSpreadsheetFileBytes)
        return false;
    ZipReader zip(path);
    if (!zip.isOpen())
        return false;

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
        if (!parsePart(zip, sharedPart,
                       [&](XmlReader& xml) { return parseSharedStrings(xml, shared); }))
            return false;
    } else if (tableSize) {
        NoSink none;
        if (!parsePart(zip, sheetPart,
                       [&](XmlReader& xml) { return parseSheet(xml, shared, none); }))
            return false;
        shared.endNoting();
        if (!parsePart(zip, sharedPart,
                       [&](XmlReader& xml) { return parseSharedStrings(xml, shared); }))
            return false;
    } else {
        shared.endNoting();
    }
    return parsePart(zip, sheetPart, [&](XmlReader& xml) { return parseSheet(xml, shared, sink); });
}

// ---- .csv ----------------------------------------------------------------------------------

bool isValidUtf8(std::string_view text, bool& hasNonAscii) {
    hasNonAscii = false;
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        hasNonAscii = true;
        size_t length;
        uint32_t min;
        if ((c & 0xE0) == 0xC0) {
            length = 2;
            min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3;
            min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4;
            min = 0x10000;
        } else {
            return false;
        }
        if (i + length > text.size())
            return false;
        uint32_t code = c & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

// UTF-16 text behind its byte-order mark (FF FE little-endian, FE FF big-endian) as UTF-8;
// an unpaired surrogate becomes U+FFFD.
std::string utf8FromUtf16(std::string_view bytes) {
    const bool little = bytes[0] == '\xFF';
    auto unit = [&](size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<uint32_t>(little ? a | b << 8 : a << 8 | b);
    };
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        uint32_t code = unit(i);
        if (code >= 0xD800 && code <= 0xDBFF && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | code >> 6);
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | code >> 12);
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | code >> 18);
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

bool parseCsv(std::string_view bytes, CellSink& sink) {
    std::string converted;
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
        // Saved as "Unicode text": read as such rather than as bytes that hold no number.
        converted = Utf8ToGbk(utf8FromUtf16(bytes));
        bytes = converted;
    } else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        converted = Utf8ToGbk(bytes.substr(3));
        bytes = converted;
    } else {
        bool nonAscii = false;
        if (isValidUtf8(bytes, nonAscii) && nonAscii) {
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
        const bool ok = field.empty() || sink.cell(row, column, field);
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
        char buffer[8] = {};
        in.read(buffer, sizeof buffer);
        head.assign(buffer, static_cast<size_t>(in.gcount()));
    }
    switch (DetectSpreadsheetFormat(path, head)) {
        case SpreadsheetFormat::Xls:
            return readXls(path, sink);
        case SpreadsheetFormat::Xlsx:
            return readXlsx(path, sink);
        case SpreadsheetFormat::Csv:
            return readCsv(path, sink);
        case SpreadsheetFormat::Unknown:
            break;
    }
    return false;
}

}  // namespace

SpreadsheetFormat DetectSpreadsheetFormat(const std::string& path, std::string_view head) {
    if (head.substr(0, 4) == std::string_view("PK\x03\x04", 4))
        return SpreadsheetFormat::Xlsx;
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

std::optional<std::vector<SheetCell>> ReadFirstSheetCells(const std::string& path) {
    CellRecorder recorder;
    if (!readFirstSheet(path, recorder))
        return std::nullopt;
    return std::move(recorder.cells);
}

std::vector<SheetCell> ParseCsvCells(std::string_view bytes) {
    CellRecorder recorder;
    parseCsv(bytes, recorder);
    return std::move(recorder.cells);
}

}  // namespace smsc
