#pragma once
// Small spreadsheet writers for tests and benchmarks: .xlsx (a minimal Office Open XML
// package written with minizip) and .xls (a minimal BIFF8 workbook in an OLE2 compound
// file). They write just what a reader needs: one or more sheets, shared strings, numbers,
// inline strings, booleans and blank cells. Also packages from given parts (.xlsx and .ods)
// and a name list shaped as an office program saves it (OfficeNameList).

#include <minizip/zip.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace smsc::test {

struct FixtureCell {
    enum class Kind { Number, Integer, Text, InlineText, Boolean, Blank, FormulaText };
    uint32_t row = 1;     // from 1
    uint32_t column = 1;  // from 1
    Kind kind = Kind::Number;
    double number = 0;  // Number, Integer (small whole numbers), Boolean (0 or 1)
    std::string text;   // UTF-8: Text, InlineText, FormulaText
    std::string raw;    // Number in .xlsx: the <v> text as written, when not empty

    static FixtureCell num(uint32_t r, uint32_t c, double v, std::string raw = {}) {
        return {r, c, Kind::Number, v, {}, std::move(raw)};
    }
    static FixtureCell integer(uint32_t r, uint32_t c, int v) {
        return {r, c, Kind::Integer, static_cast<double>(v), {}, {}};
    }
    static FixtureCell str(uint32_t r, uint32_t c, std::string t) {
        return {r, c, Kind::Text, 0, std::move(t), {}};
    }
    static FixtureCell inlineStr(uint32_t r, uint32_t c, std::string t) {
        return {r, c, Kind::InlineText, 0, std::move(t), {}};
    }
    static FixtureCell formulaStr(uint32_t r, uint32_t c, std::string t) {
        return {r, c, Kind::FormulaText, 0, std::move(t), {}};
    }
    static FixtureCell boolean(uint32_t r, uint32_t c, bool v) {
        return {r, c, Kind::Boolean, v ? 1.0 : 0.0, {}, {}};
    }
    static FixtureCell blank(uint32_t r, uint32_t c) { return {r, c, Kind::Blank, 0, {}, {}}; }
};

using FixtureSheet = std::vector<FixtureCell>;

namespace fixture_detail {

inline std::string columnName(uint32_t column) {
    std::string name;
    while (column > 0) {
        const uint32_t rest = (column - 1) % 26;
        name.insert(name.begin(), static_cast<char>('A' + rest));
        column = (column - 1) / 26;
    }
    return name;
}

inline std::string xmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

inline std::string numberText(double v) {
    char buffer[64];
    if (v == static_cast<double>(static_cast<long long>(v)))
        std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(v));
    else
        std::snprintf(buffer, sizeof buffer, "%.17g", v);
    return buffer;
}

inline void zipAdd(zipFile zip, const std::string& name, const std::string& bytes) {
    zip_fileinfo info{};
    if (zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                            Z_DEFAULT_COMPRESSION) != ZIP_OK ||
        zipWriteInFileInZip(zip, bytes.data(), static_cast<unsigned>(bytes.size())) != ZIP_OK ||
        zipCloseFileInZip(zip) != ZIP_OK)
        throw std::runtime_error("cannot write zip entry " + name);
}

inline void put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
inline void put32(std::string& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
inline void putDouble(std::string& out, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    put32(out, static_cast<uint32_t>(bits));
    put32(out, static_cast<uint32_t>(bits >> 32));
}
inline void record(std::string& out, uint16_t type, const std::string& data) {
    if (data.size() > 8224)
        throw std::runtime_error("BIFF record too long");
    put16(out, type);
    put16(out, static_cast<uint32_t>(data.size()));
    out += data;
}

// UTF-8 to UTF-16 code units (BMP only, enough for fixtures).
inline std::u16string utf16(const std::string& utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += c;
            ++i;
        } else if ((c & 0xE0) == 0xC0) {
            out += static_cast<char16_t>(((c & 0x1F) << 6) | (utf8[i + 1] & 0x3F));
            i += 2;
        } else {
            out += static_cast<char16_t>(((c & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) |
                                         (utf8[i + 2] & 0x3F));
            i += 3;
        }
    }
    return out;
}

// A BIFF8 unicode string: count (16 bit), flags, characters (8-bit when all fit).
inline void putBiffString(std::string& out, const std::string& utf8) {
    const std::u16string text = utf16(utf8);
    bool wide = false;
    for (char16_t c : text)
        wide = wide || c > 0xFF;
    put16(out, static_cast<uint32_t>(text.size()));
    out += static_cast<char>(wide ? 1 : 0);
    for (char16_t c : text) {
        if (wide)
            put16(out, c);
        else
            out += static_cast<char>(c);
    }
}

inline std::string bof(uint16_t kind) {
    std::string d;
    put16(d, 0x0600);
    put16(d, kind);
    put16(d, 0x0DBB);
    put16(d, 0x07CC);
    put32(d, 0);
    put32(d, 6);
    return d;
}

// An OLE2 compound file (version 3, 512-byte sectors) holding one stream "Workbook".
inline std::string compoundFile(std::string stream) {
    constexpr uint32_t kSector = 512;
    constexpr uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFatSect = 0xFFFFFFFD;
    if (stream.size() < 4096)
        stream.resize(4096, '\0');  // below the cutoff a stream would live in the mini stream
    const uint32_t streamSize = static_cast<uint32_t>(stream.size());
    const uint32_t streamSectors = (streamSize + kSector - 1) / kSector;
    stream.resize(static_cast<size_t>(streamSectors) * kSector, '\0');
    uint32_t fatSectors = 1;
    while ((streamSectors + 1 + fatSectors) > fatSectors * 128)
        ++fatSectors;
    if (fatSectors > 109)
        throw std::runtime_error("workbook too large for the fixture writer");
    const uint32_t dirSector = streamSectors;
    const uint32_t firstFat = streamSectors + 1;

    std::string header;
    header += std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    header += std::string(16, '\0');
    put16(header, 0x003E);
    put16(header, 0x0003);
    put16(header, 0xFFFE);
    put16(header, 9);
    put16(header, 6);
    header += std::string(6, '\0');
    put32(header, 0);  // directory sectors (0 in version 3)
    put32(header, fatSectors);
    put32(header, dirSector);
    put32(header, 0);
    put32(header, 4096);
    put32(header, kEnd);  // mini FAT
    put32(header, 0);
    put32(header, kEnd);  // DIFAT
    put32(header, 0);
    for (uint32_t i = 0; i < 109; ++i)
        put32(header, i < fatSectors ? firstFat + i : kFree);

    auto dirEntry = [](const std::u16string& name, uint8_t type, uint32_t child, uint32_t start,
                       uint32_t size) {
        std::string e;
        for (size_t i = 0; i < 32; ++i)
            put16(e, i < name.size() ? name[i] : 0);
        put16(e, name.empty() ? 0 : static_cast<uint32_t>((name.size() + 1) * 2));
        e += static_cast<char>(type);
        e += static_cast<char>(1);  // black
        put32(e, 0xFFFFFFFF);
        put32(e, 0xFFFFFFFF);
        put32(e, child);
        e += std::string(16 + 4 + 16, '\0');
        put32(e, start);
        put32(e, size);
        put32(e, 0);
        return e;
    };
    std::string directory;
    directory += dirEntry(u"Root Entry", 5, 1, kEnd, 0);
    directory += dirEntry(u"Workbook", 2, 0xFFFFFFFF, 0, streamSize);
    directory += dirEntry(u"", 0, 0xFFFFFFFF, 0, 0);
    directory += dirEntry(u"", 0, 0xFFFFFFFF, 0, 0);

    std::string fat;
    for (uint32_t i = 0; i < streamSectors; ++i)
        put32(fat, i + 1 < streamSectors ? i + 1 : kEnd);
    put32(fat, kEnd);  // directory
    for (uint32_t i = 0; i < fatSectors; ++i)
        put32(fat, kFatSect);
    while (fat.size() < static_cast<size_t>(fatSectors) * kSector)
        put32(fat, kFree);

    header.resize(kSector, '\0');
    return header + stream + directory + fat;
}

}  // namespace fixture_detail

// A workbook with the given sheets ("Sheet1", "Sheet2", ...) as an .xlsx package.
inline void WriteXlsx(const std::string& path, const std::vector<FixtureSheet>& sheets) {
    using namespace fixture_detail;
    std::vector<std::string> shared;
    std::map<std::string, size_t> sharedIndex;
    std::vector<std::string> sheetXml;
    for (const FixtureSheet& sheet : sheets) {
        std::map<uint32_t, std::map<uint32_t, const FixtureCell*>> rows;
        for (const FixtureCell& cell : sheet)
            rows[cell.row][cell.column] = &cell;
        std::string xml =
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
            "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
            "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
            "<sheetData>";
        for (const auto& [row, cells] : rows) {
            xml += "<row r=\"" + std::to_string(row) + "\">";
            for (const auto& [column, cell] : cells) {
                const std::string ref = columnName(column) + std::to_string(row);
                switch (cell->kind) {
                    case FixtureCell::Kind::Number:
                    case FixtureCell::Kind::Integer:
                        xml += "<c r=\"" + ref + "\"><v>" +
                               (cell->raw.empty() ? numberText(cell->number) : cell->raw) +
                               "</v></c>";
                        break;
                    case FixtureCell::Kind::Text: {
                        auto [it, added] = sharedIndex.emplace(cell->text, shared.size());
                        if (added)
                            shared.push_back(cell->text);
                        xml += "<c r=\"" + ref + "\" t=\"s\"><v>" + std::to_string(it->second) +
                               "</v></c>";
                        break;
                    }
                    case FixtureCell::Kind::InlineText:
                        xml += "<c r=\"" + ref +
                               "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">" +
                               xmlEscape(cell->text) + "</t></is></c>";
                        break;
                    case FixtureCell::Kind::FormulaText:
                        xml += "<c r=\"" + ref + "\" t=\"str\"><f>\"x\"</f><v>" +
                               xmlEscape(cell->text) + "</v></c>";
                        break;
                    case FixtureCell::Kind::Boolean:
                        xml += "<c r=\"" + ref + "\" t=\"b\"><v>" +
                               std::string(cell->number != 0 ? "1" : "0") + "</v></c>";
                        break;
                    case FixtureCell::Kind::Blank:
                        xml += "<c r=\"" + ref + "\" s=\"1\"/>";
                        break;
                }
            }
            xml += "</row>";
        }
        xml += "</sheetData></worksheet>";
        sheetXml.push_back(std::move(xml));
    }

    std::string sst =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"" +
        std::to_string(shared.size()) + "\" uniqueCount=\"" + std::to_string(shared.size()) + "\">";
    for (const std::string& s : shared)
        sst += "<si><t xml:space=\"preserve\">" + xmlEscape(s) + "</t></si>";
    sst += "</sst>";

    std::string types =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" "
        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Override PartName=\"/xl/workbook.xml\" "
        "ContentType=\"application/"
        "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>";
    std::string workbook =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>";
    std::string rels =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    // Relationship ids in reverse order, so the first sheet is not simply "rId1".
    const size_t count = sheetXml.size();
    for (size_t i = 0; i < count; ++i) {
        const std::string n = std::to_string(i + 1);
        const std::string id = "rId" + std::to_string(count - i + 1);
        types += "<Override PartName=\"/xl/worksheets/sheet" + n +
                 ".xml\" ContentType=\"application/"
                 "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
        workbook += "<sheet name=\"Sheet" + n + "\" sheetId=\"" + n + "\" r:id=\"" + id + "\"/>";
        rels += "<Relationship Id=\"" + id +
                "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                "worksheet\" Target=\"worksheets/sheet" +
                n + ".xml\"/>";
    }
    rels +=
        "<Relationship Id=\"rId1\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
        "sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>";
    types += "</Types>";
    workbook += "</sheets></workbook>";
    const std::string rootRels =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
        "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";

    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (!zip)
        throw std::runtime_error("cannot create " + path);
    zipAdd(zip, "[Content_Types].xml", types);
    zipAdd(zip, "_rels/.rels", rootRels);
    zipAdd(zip, "xl/workbook.xml", workbook);
    zipAdd(zip, "xl/_rels/workbook.xml.rels", rels);
    zipAdd(zip, "xl/sharedStrings.xml", sst);
    for (size_t i = 0; i < count; ++i)
        zipAdd(zip, "xl/worksheets/sheet" + std::to_string(i + 1) + ".xml", sheetXml[i]);
    if (zipClose(zip, nullptr) != ZIP_OK)
        throw std::runtime_error("cannot close " + path);
}

// A workbook with the given sheets as a BIFF8 .xls file. Numbers are NUMBER records
// (floats), integers RK records, texts LABELSST cells; rows and columns must fit BIFF8.
inline void WriteXls(const std::string& path, const std::vector<FixtureSheet>& sheets) {
    using namespace fixture_detail;
    std::vector<std::string> shared;
    std::map<std::string, uint32_t> sharedIndex;
    std::vector<std::string> sheetStreams;
    for (const FixtureSheet& sheet : sheets) {
        uint32_t firstRow = UINT32_MAX, lastRow = 0, firstCol = UINT32_MAX, lastCol = 0;
        std::string cells;
        for (const FixtureCell& cell : sheet) {
            const uint32_t r = cell.row - 1, c = cell.column - 1;
            firstRow = std::min(firstRow, r);
            lastRow = std::max(lastRow, r);
            firstCol = std::min(firstCol, c);
            lastCol = std::max(lastCol, c);
            std::string d;
            put16(d, r);
            put16(d, c);
            put16(d, 16);  // the cell XF
            switch (cell.kind) {
                case FixtureCell::Kind::Number:
                    putDouble(d, cell.number);
                    record(cells, 0x0203, d);
                    break;
                case FixtureCell::Kind::Integer:
                    put32(d, (static_cast<uint32_t>(static_cast<int32_t>(cell.number)) << 2) | 2);
                    record(cells, 0x027E, d);
                    break;
                case FixtureCell::Kind::Boolean:
                    d += static_cast<char>(cell.number != 0 ? 1 : 0);
                    d += static_cast<char>(0);
                    record(cells, 0x0205, d);
                    break;
                case FixtureCell::Kind::Blank:
                    record(cells, 0x0201, d);
                    break;
                case FixtureCell::Kind::Text:
                case FixtureCell::Kind::InlineText:
                case FixtureCell::Kind::FormulaText: {
                    auto [it, added] =
                        sharedIndex.emplace(cell.text, static_cast<uint32_t>(shared.size()));
                    if (added)
                        shared.push_back(cell.text);
                    put32(d, it->second);
                    record(cells, 0x00FD, d);
                    break;
                }
            }
        }
        if (sheet.empty())
            firstRow = lastRow = firstCol = lastCol = 0;
        std::string s;
        record(s, 0x0809, bof(0x0010));
        std::string dim;
        put32(dim, firstRow);
        put32(dim, sheet.empty() ? 0 : lastRow + 1);
        put16(dim, firstCol);
        put16(dim, sheet.empty() ? 0 : lastCol + 1);
        put16(dim, 0);
        record(s, 0x0200, dim);
        s += cells;
        record(s, 0x000A, {});
        sheetStreams.push_back(std::move(s));
    }

    // Workbook globals; the sheets' offsets are known once the globals' length is.
    auto globals = [&](const std::vector<uint32_t>& offsets) {
        std::string g;
        record(g, 0x0809, bof(0x0005));
        std::string cp;
        put16(cp, 1200);
        record(g, 0x0042, cp);
        std::string datemode;
        put16(datemode, 0);
        record(g, 0x0022, datemode);
        std::string font;
        put16(font, 200);
        put16(font, 0);
        put16(font, 0x7FFF);
        put16(font, 400);
        put16(font, 0);
        font += std::string(4, '\0');
        font += static_cast<char>(5);
        font += static_cast<char>(0);
        font += "Arial";
        for (int i = 0; i < 5; ++i)
            record(g, 0x0031, font);
        for (int i = 0; i < 17; ++i) {
            std::string xf;
            put16(xf, 0);                         // font
            put16(xf, 0);                         // format: General
            put16(xf, i < 16 ? 0xFFF5 : 0x0001);  // style XFs, then one cell XF
            put16(xf, 0x0020);
            xf += std::string(10, '\0');
            put16(xf, 0x20C0);
            record(g, 0x00E0, xf);
        }
        for (size_t i = 0; i < sheetStreams.size(); ++i) {
            std::string bs;
            put32(bs, offsets.empty() ? 0 : offsets[i]);
            put16(bs, 0);
            const std::string name = "Sheet" + std::to_string(i + 1);
            bs += static_cast<char>(name.size());
            bs += static_cast<char>(0);
            bs += name;
            record(g, 0x0085, bs);
        }
        std::string sst;
        put32(sst, static_cast<uint32_t>(shared.size()));
        put32(sst, static_cast<uint32_t>(shared.size()));
        for (const std::string& s : shared)
            putBiffString(sst, s);
        record(g, 0x00FC, sst);
        record(g, 0x000A, {});
        return g;
    };
    const size_t globalsSize = globals({}).size();
    std::vector<uint32_t> offsets;
    size_t offset = globalsSize;
    for (const std::string& s : sheetStreams) {
        offsets.push_back(static_cast<uint32_t>(offset));
        offset += s.size();
    }
    std::string stream = globals(offsets);
    for (const std::string& s : sheetStreams)
        stream += s;

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::string file = compoundFile(std::move(stream));
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

// A zip of the given entries in order, the first one stored (as an OpenDocument package's
// "mimetype" must be), the others deflated.
inline void WriteZip(const std::string& path,
                     const std::vector<std::pair<std::string, std::string>>& entries,
                     bool storeFirst = false) {
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (!zip)
        throw std::runtime_error("cannot create " + path);
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto& [name, bytes] = entries[i];
        zip_fileinfo info{};
        const bool stored = storeFirst && i == 0;
        if (zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                stored ? 0 : Z_DEFLATED,
                                stored ? 0 : Z_DEFAULT_COMPRESSION) != ZIP_OK ||
            zipWriteInFileInZip(zip, bytes.data(), static_cast<unsigned>(bytes.size())) != ZIP_OK ||
            zipCloseFileInZip(zip) != ZIP_OK)
            throw std::runtime_error("cannot write zip entry " + name);
    }
    if (zipClose(zip, nullptr) != ZIP_OK)
        throw std::runtime_error("cannot close " + path);
}

// An .xlsx of one sheet whose worksheet part (and shared-string table, when given) are the
// texts given, as they are.
inline void WriteXlsxParts(const std::string& path, const std::string& sheetXml,
                           const std::string& sharedXml = {}) {
    std::string rels =
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
        "relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/>";
    if (!sharedXml.empty())
        rels +=
            "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/"
            "2006/relationships/sharedStrings\" Target=\"sharedStrings.xml\"/>";
    rels += "</Relationships>";
    std::vector<std::pair<std::string, std::string>> entries = {
        {"_rels/.rels",
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
         "relationships/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml",
         "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
         "<sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels", rels},
        {"xl/worksheets/sheet1.xml", sheetXml},
    };
    if (!sharedXml.empty())
        entries.push_back({"xl/sharedStrings.xml", sharedXml});
    WriteZip(path, entries);
}

// The start of an OpenDocument spreadsheet's content.xml up to <office:spreadsheet>; the
// tables follow, then kOdsContentTail.
inline const std::string kOdsContentHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-content "
    "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
    "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
    "xmlns:calcext=\"urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0\" "
    "office:version=\"1.3\"><office:body><office:spreadsheet>";
inline const std::string kOdsContentTail =
    "</office:spreadsheet></office:body></office:document-content>";

// An .ods package around the tables given (the content between kOdsContentHead and
// kOdsContentTail). mimetypeFirst: the "mimetype" entry leads, stored, as the format asks.
inline void WriteOds(const std::string& path, const std::string& tables,
                     bool mimetypeFirst = true) {
    const std::string manifest =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<manifest:manifest "
        "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
        "manifest:version=\"1.3\"><manifest:file-entry manifest:full-path=\"/\" "
        "manifest:media-type=\"application/vnd.oasis.opendocument.spreadsheet\"/>"
        "<manifest:file-entry manifest:full-path=\"content.xml\" "
        "manifest:media-type=\"text/xml\"/></manifest:manifest>";
    std::vector<std::pair<std::string, std::string>> entries = {
        {"content.xml", kOdsContentHead + tables + kOdsContentTail},
        {"META-INF/manifest.xml", manifest},
    };
    const std::pair<std::string, std::string> mimetype = {
        "mimetype", "application/vnd.oasis.opendocument.spreadsheet"};
    if (mimetypeFirst)
        entries.insert(entries.begin(), mimetype);
    else
        entries.push_back(mimetype);
    WriteZip(path, entries, mimetypeFirst);
}

// A name list (name, mobile number, company) as office programs save one: the header row, a
// text cell for each name and company through the shared-string table (a few names with
// inline formatting), the number as a number, a styles part, and the row and sheet attributes
// LibreOffice writes (about 250 bytes of sheet XML a row).
struct NameListRow {
    std::string name;  // UTF-8
    long long mobile = 0;
    std::string company;  // UTF-8
};
inline std::vector<NameListRow> OfficeNameList(int rows) {
    static const char* const kFamily[] = {"王", "李", "张", "刘", "陈",
                                          "杨", "黄", "赵", "吴", "周"};
    static const char* const kGiven[] = {"伟", "芳", "娜", "秀英", "敏", "静", "丽", "强",
                                         "磊", "军", "洋", "勇",   "艳", "杰", "娟", "涛"};
    static const char* const kCompany[] = {"北京华信科技有限公司", "上海东方贸易有限公司",
                                           "深圳市腾达电子有限公司", "广州白云物流有限公司",
                                           "杭州西湖文化传媒有限公司"};
    std::vector<NameListRow> list;
    list.reserve(static_cast<size_t>(rows));
    for (int i = 0; i < rows; ++i)
        list.push_back(
            {std::string(kFamily[i % 10]) + kGiven[(i / 10) % 16] + kGiven[(i / 160) % 16],
             13800000000LL + 7LL * i, kCompany[(i * 7) % 5]});
    return list;
}

inline void WriteOfficeXlsx(const std::string& path, const std::vector<NameListRow>& list) {
    using namespace fixture_detail;
    std::vector<std::string> shared;
    std::map<std::string, size_t> sharedIndex;
    const auto sharedAt = [&](const std::string& text) {
        auto [it, added] = sharedIndex.emplace(text, shared.size());
        if (added)
            shared.push_back(text);
        return it->second;
    };
    const std::string rowAttributes =
        "customFormat=\"false\" ht=\"12.8\" hidden=\"false\" customHeight=\"false\" "
        "outlineLevel=\"0\" collapsed=\"false\"";
    std::string sheet =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
        "xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing\" "
        "xmlns:x14=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/main\" "
        "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\">"
        "<sheetPr filterMode=\"false\"><pageSetUpPr fitToPage=\"false\"/></sheetPr>"
        "<dimension ref=\"A1:C" +
        std::to_string(list.size() + 1) +
        "\"/>"
        "<sheetViews><sheetView showFormulas=\"false\" showGridLines=\"true\" "
        "showRowColHeaders=\"true\" showZeros=\"true\" rightToLeft=\"false\" "
        "tabSelected=\"true\" showOutlineSymbols=\"true\" defaultGridColor=\"true\" "
        "view=\"normal\" topLeftCell=\"A1\" colorId=\"64\" zoomScale=\"100\" "
        "zoomScaleNormal=\"100\" zoomScalePageLayoutView=\"60\" workbookViewId=\"0\">"
        "<selection pane=\"topLeft\" activeCell=\"A1\" activeCellId=\"0\" sqref=\"A1\"/>"
        "</sheetView></sheetViews><sheetFormatPr defaultColWidth=\"10.08203125\" "
        "defaultRowHeight=\"12.8\" zeroHeight=\"false\" outlineLevelRow=\"0\" "
        "outlineLevelCol=\"0\"></sheetFormatPr><cols>"
        "<col collapsed=\"false\" customWidth=\"true\" hidden=\"false\" outlineLevel=\"0\" "
        "max=\"1\" min=\"1\" style=\"0\" width=\"6.12\"/>"
        "<col collapsed=\"false\" customWidth=\"true\" hidden=\"false\" outlineLevel=\"0\" "
        "max=\"2\" min=\"2\" style=\"0\" width=\"12.09\"/>"
        "<col collapsed=\"false\" customWidth=\"true\" hidden=\"false\" outlineLevel=\"0\" "
        "max=\"3\" min=\"3\" style=\"0\" width=\"24.5\"/></cols><sheetData>";
    sheet.reserve(list.size() * 260 + 4096);
    const auto textCell = [&](const std::string& ref, const std::string& text) {
        sheet += "<c r=\"" + ref + "\" s=\"1\" t=\"s\"><v>" + std::to_string(sharedAt(text)) +
                 "</v></c>";
    };
    sheet += "<row r=\"1\" " + rowAttributes + ">";
    textCell("A1", "姓名");
    textCell("B1", "手机号码");
    textCell("C1", "公司");
    sheet += "</row>";
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string r = std::to_string(i + 2);
        sheet += "<row r=\"" + r + "\" " + rowAttributes + ">";
        textCell("A" + r, list[i].name);
        sheet +=
            "<c r=\"B" + r + "\" s=\"0\" t=\"n\"><v>" + std::to_string(list[i].mobile) + "</v></c>";
        textCell("C" + r, list[i].company);
        sheet += "</row>";
    }
    sheet +=
        "</sheetData><printOptions headings=\"false\" gridLines=\"false\" gridLinesSet=\"true\" "
        "horizontalCentered=\"false\" verticalCentered=\"false\"/><pageMargins left=\"0.7875\" "
        "right=\"0.7875\" top=\"1.05277777777778\" bottom=\"1.05277777777778\" header=\"0.7875\" "
        "footer=\"0.7875\"/><pageSetup paperSize=\"9\" scale=\"100\" fitToWidth=\"1\" "
        "fitToHeight=\"1\" pageOrder=\"downThenOver\" orientation=\"portrait\" "
        "blackAndWhite=\"false\" draft=\"false\" cellComments=\"none\" firstPageNumber=\"1\" "
        "useFirstPageNumber=\"true\" horizontalDpi=\"300\" verticalDpi=\"300\" copies=\"1\"/>"
        "<headerFooter differentFirst=\"false\" differentOddEven=\"false\"><oddHeader>"
        "&amp;C&amp;&quot;DejaVu Serif,Book&quot;&amp;12&amp;A</oddHeader><oddFooter>&amp;C&amp;"
        "&quot;DejaVu Serif,Book&quot;&amp;12Page &amp;P</oddFooter></headerFooter></worksheet>";

    std::string sst =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"" +
        std::to_string(2 * list.size() + 3) + "\" uniqueCount=\"" + std::to_string(shared.size()) +
        "\">";
    for (size_t i = 0; i < shared.size(); ++i) {
        const std::string& text = shared[i];
        if (i % 50 == 7 && text.size() > 3) {
            // Inline formatting: the first character bold, in runs.
            sst +=
                "<si><r><rPr><b val=\"true\"/><sz val=\"10\"/><rFont val=\"Arial\"/>"
                "<family val=\"2\"/></rPr><t xml:space=\"preserve\">" +
                xmlEscape(text.substr(0, 3)) +
                "</t></r><r><rPr><sz val=\"10\"/>"
                "<rFont val=\"Arial\"/><family val=\"2\"/></rPr><t xml:space=\"preserve\">" +
                xmlEscape(text.substr(3)) + "</t></r></si>";
        } else {
            sst += "<si><t xml:space=\"preserve\">" + xmlEscape(text) + "</t></si>";
        }
    }
    sst += "</sst>";

    std::string styles =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"General\"/></numFmts>"
        "<fonts count=\"5\">";
    for (const char* font : {"DejaVu Sans", "Arial", "Arial", "Arial", "WenQuanYi Micro Hei"})
        styles += std::string("<font><sz val=\"10\"/><name val=\"") + font +
                  "\"/><family val=\"2\"/></font>";
    styles +=
        "</fonts><fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill><fill>"
        "<patternFill patternType=\"gray125\"/></fill></fills><borders count=\"1\"><border "
        "diagonalUp=\"false\" diagonalDown=\"false\"><left/><right/><top/><bottom/><diagonal/>"
        "</border></borders><cellStyleXfs count=\"20\">";
    for (int i = 0; i < 20; ++i)
        styles += "<xf numFmtId=\"" + std::to_string(i == 0 ? 164 : 0) + "\" fontId=\"" +
                  std::to_string(i % 4) +
                  "\" fillId=\"0\" borderId=\"0\" applyFont=\"true\" applyBorder=\"false\" "
                  "applyAlignment=\"false\" applyProtection=\"false\"></xf>";
    styles +=
        "</cellStyleXfs><cellXfs count=\"2\"><xf numFmtId=\"164\" fontId=\"0\" fillId=\"0\" "
        "borderId=\"0\" xfId=\"0\" applyFont=\"false\" applyBorder=\"false\" "
        "applyAlignment=\"false\" applyProtection=\"false\"><alignment horizontal=\"general\" "
        "vertical=\"bottom\" textRotation=\"0\" wrapText=\"false\" indent=\"0\" "
        "shrinkToFit=\"false\"/><protection locked=\"true\" hidden=\"false\"/></xf><xf "
        "numFmtId=\"164\" fontId=\"4\" fillId=\"0\" borderId=\"0\" xfId=\"0\" "
        "applyFont=\"true\" applyBorder=\"false\" applyAlignment=\"false\" "
        "applyProtection=\"false\"/></cellXfs><cellStyles count=\"1\"><cellStyle "
        "name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles></styleSheet>";

    const std::string contentTypes =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Types "
        "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Default "
        "Extension=\"xml\" ContentType=\"application/xml\"/><Default Extension=\"rels\" "
        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/><Override "
        "PartName=\"/xl/workbook.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/><Override "
        "PartName=\"/xl/styles.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/><Override "
        "PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/><Override "
        "PartName=\"/xl/sharedStrings.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/></Types>";
    const std::string workbook =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
        "<fileVersion appName=\"Calc\"/><workbookPr backupFile=\"false\" showObjects=\"all\" "
        "date1904=\"false\"/><workbookProtection/><bookViews><workbookView "
        "showHorizontalScroll=\"true\" showVerticalScroll=\"true\" showSheetTabs=\"true\" "
        "xWindow=\"0\" yWindow=\"0\" windowWidth=\"16384\" windowHeight=\"8192\" "
        "tabRatio=\"600\" firstSheet=\"0\" activeTab=\"0\"/></bookViews><sheets><sheet "
        "name=\"名单\" sheetId=\"1\" state=\"visible\" r:id=\"rId2\"/></sheets><calcPr "
        "iterateCount=\"100\" refMode=\"A1\" iterate=\"false\" iterateDelta=\"0.001\"/>"
        "</workbook>";
    const std::string workbookRels =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Relationships "
        "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
        "Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
        "styles\" Target=\"styles.xml\"/><Relationship Id=\"rId2\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
        "Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId3\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
        "sharedStrings\" Target=\"sharedStrings.xml\"/>\n</Relationships>";
    const std::string rootRels =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Relationships "
        "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
        "Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
        "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
    WriteZip(path, {{"[Content_Types].xml", contentTypes},
                    {"_rels/.rels", rootRels},
                    {"xl/_rels/workbook.xml.rels", workbookRels},
                    {"xl/workbook.xml", workbook},
                    {"xl/styles.xml", styles},
                    {"xl/sharedStrings.xml", sst},
                    {"xl/worksheets/sheet1.xml", sheet}});
}

// The same list as CSV (UTF-8, CR LF), as an office program saves it.
inline std::string OfficeNameListCsv(const std::vector<NameListRow>& list) {
    std::string csv = "姓名,手机号码,公司\r\n";
    for (const NameListRow& row : list)
        csv += row.name + "," + std::to_string(row.mobile) + "," + row.company + "\r\n";
    return csv;
}

// The same list as an .ods, with the repeated cells and rows LibreOffice writes.
inline void WriteOfficeOds(const std::string& path, const std::vector<NameListRow>& list) {
    const auto text = [](const std::string& t) {
        return "<table:table-cell office:value-type=\"string\" calcext:value-type=\"string\">"
               "<text:p>" +
               fixture_detail::xmlEscape(t) + "</text:p></table:table-cell>";
    };
    std::string tables =
        "<table:table table:name=\"名单\" table:style-name=\"ta1\"><table:table-column "
        "table:style-name=\"co1\" table:number-columns-repeated=\"3\" "
        "table:default-cell-style-name=\"Default\"/><table:table-row table:style-name=\"ro1\">" +
        text("姓名") + text("手机号码") + text("公司") + "</table:table-row>";
    tables.reserve(list.size() * 330 + 1024);
    for (const NameListRow& row : list) {
        const std::string number = std::to_string(row.mobile);
        tables += "<table:table-row table:style-name=\"ro1\">" + text(row.name) +
                  "<table:table-cell office:value-type=\"float\" office:value=\"" + number +
                  "\" calcext:value-type=\"float\"><text:p>" + number +
                  "</text:p></table:table-cell>" + text(row.company) + "</table:table-row>";
    }
    tables += "<table:table-row table:style-name=\"ro1\" table:number-rows-repeated=\"" +
              std::to_string(1048576 - list.size() - 1) +
              "\"><table:table-cell table:number-columns-repeated=\"1024\"/></table:table-row>"
              "</table:table>";
    WriteOds(path, tables);
}

}  // namespace smsc::test
