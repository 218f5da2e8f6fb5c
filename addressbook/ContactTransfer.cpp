#include "addressbook/ContactTransfer.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <optional>
#include <unordered_set>

#include "platform/AtomicFile.h"
#include "platform/Gbk.h"
#include "recipients/NumberReader.h"
#include "recipients/PhoneRules.h"
#include "recipients/SpreadsheetReader.h"
#include "platform/TextHelpers.h"

namespace smsc {
namespace {

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c | 0x20);
    return out;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && LowerAscii(text.substr(0, prefix.size())) == prefix;
}

// The GBK characters of a text one by one: (offset, length).
template <typename F>
void ForEachGbkChar(std::string_view gbk, F&& f) {
    for (size_t i = 0; i < gbk.size();) {
        const size_t length = static_cast<size_t>(GbkCharBytes(gbk, i));
        f(i, length);
        i += length;
    }
}

// A field as the contact editor would store it: control characters as blanks, a "|" (the
// record's separator) as its full-width form, cut to a bounded length, trimmed.
std::string CleanField(std::string_view gbk, bool isName) {
    std::string out;
    out.reserve(std::min(gbk.size(), kMaxContactFieldBytes));
    ForEachGbkChar(gbk, [&](size_t at, size_t length) {
        if (out.size() + length > kMaxContactFieldBytes)
            return;
        const char c = gbk[at];
        if (length == 2) {
            out.append(gbk.substr(at, 2));
        } else if (c == '|') {
            out += "\xA3\xFC";  // ｜
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            out += ' ';
        } else if (!(isName && (c == '[' || c == ']'))) {
            // Brackets would make a contact a group in the tree.
            out += c;
        }
    });
    return TrimBlanks(out);
}

// ---- phone numbers ----------------------------------------------------------------------

// A table's or card's phone numbers, in order, with what they are marked as.
struct Phone {
    std::string text;
    bool mobile = false;  // marked as a mobile number (TYPE=CELL, a "手机" column)
    bool work = false;
    bool fax = false;
};

// The mobile number of a contact: the first number marked as mobile that is 1 to 12 digits,
// else the first number the number rules take for a mobile one.
std::string ChooseMobile(const std::vector<Phone>& phones) {
    for (const Phone& phone : phones) {
        const std::string digits = PhoneDigits(phone.text);
        if (phone.mobile && IsDigits1To12(digits))
            return digits;
    }
    for (const Phone& phone : phones) {
        const std::string digits = PhoneDigits(phone.text);
        if (!phone.fax && IsMobileNumber(digits))
            return digits;
    }
    return {};
}

// ---- vCard ------------------------------------------------------------------------------

std::string DecodeQuotedPrintable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '=' && i + 2 < text.size()) {
            const int high = hex(text[i + 1]);
            const int low = hex(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high << 4 | low);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// The parameters of a property line.
struct Params {
    std::vector<std::string> types;  // lower case
    std::string encoding;            // lower case
    std::string charset;             // lower case
    bool has(std::string_view type) const {
        return std::find(types.begin(), types.end(), type) != types.end();
    }
};

Params ParseParams(std::string_view text) {
    Params params;
    const auto addTypes = [&](std::string_view list) {
        size_t start = 0;
        while (start <= list.size()) {
            size_t comma = list.find(',', start);
            if (comma == std::string_view::npos)
                comma = list.size();
            std::string type = LowerAscii(TrimmedView(list.substr(start, comma - start)));
            type.erase(std::remove(type.begin(), type.end(), '"'), type.end());
            if (!type.empty())
                params.types.push_back(type);
            start = comma + 1;
        }
    };
    size_t start = 0;
    while (start < text.size()) {
        // Parameters end at ";" outside double quotes.
        size_t end = start;
        bool quoted = false;
        while (end < text.size() && (quoted || text[end] != ';')) {
            quoted = text[end] == '"' ? !quoted : quoted;
            ++end;
        }
        const std::string_view param = TrimmedView(text.substr(start, end - start));
        const size_t eq = param.find('=');
        if (eq == std::string_view::npos) {
            // vCard 2.1: a bare value, a type or an encoding.
            const std::string bare = LowerAscii(param);
            if (bare == "quoted-printable" || bare == "base64" || bare == "8bit" || bare == "7bit")
                params.encoding = bare;
            else
                addTypes(param);
        } else {
            const std::string key = LowerAscii(TrimmedView(param.substr(0, eq)));
            std::string value = LowerAscii(TrimmedView(param.substr(eq + 1)));
            value.erase(std::remove(value.begin(), value.end(), '"'), value.end());
            if (key == "type")
                addTypes(param.substr(eq + 1));
            else if (key == "encoding")
                params.encoding = value;
            else if (key == "charset")
                params.charset = value;
        }
        start = end + 1;
    }
    return params;
}

bool IsGbkCharset(std::string_view charset) {
    return charset == "gbk" || charset == "gb2312" || charset == "gb18030" || charset == "cp936" ||
           charset == "x-gbk" || charset == "windows-936";
}

// The components of a value split at ";" (all of it as one when not structured), with the
// text escapes undone, each as GBK. The value is in its own charset still: a GBK value is
// walked by characters, so that a backslash that is a character's second byte stays put.
std::vector<std::string> ValueComponents(std::string_view raw, std::string_view charset,
                                         bool structured) {
    const bool gbkBytes = IsGbkCharset(charset) || (!IsValidUtf8(raw) && charset.empty());
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < raw.size();) {
        const size_t length = gbkBytes ? static_cast<size_t>(GbkCharBytes(raw, i)) : 1;
        const char c = raw[i];
        if (length == 1 && c == '\\' && i + 1 < raw.size()) {
            const char next = raw[i + 1];
            parts.back() += next == 'n' || next == 'N' ? '\n' : next;
            i += 2;
            continue;
        }
        if (length == 1 && c == ';' && structured) {
            parts.emplace_back();
        } else {
            parts.back().append(raw.substr(i, length));
        }
        i += length;
    }
    for (std::string& part : parts)
        part = gbkBytes ? part : Utf8ToGbk(part);
    return parts;
}

// One card as it is read.
struct Card {
    std::string fn;
    std::vector<std::string> n;
    std::string org;
    std::string title;
    std::string email;
    std::vector<std::string> adr;
    std::vector<Phone> phones;

    ContactFields fields() const {
        ContactFields f;
        f[kFieldName] = TrimBlanks(fn);
        if (f[kFieldName].empty() && !n.empty()) {
            // Family and given name: together for Chinese names, "given family" otherwise.
            const std::string family = n.size() > 0 ? TrimBlanks(n[0]) : "";
            const std::string given = n.size() > 1 ? TrimBlanks(n[1]) : "";
            const bool ascii =
                std::all_of(family.begin(), family.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x80; }) &&
                std::all_of(given.begin(), given.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x80; });
            f[kFieldName] = ascii ? TrimBlanks(given + " " + family) : family + given;
        }
        if (f[kFieldName].empty())
            f[kFieldName] = TrimBlanks(org);
        f[kFieldMobile] = ChooseMobile(phones);
        f[kFieldSalutation] = title;
        f[kFieldEmail] = email;
        // Street, locality and region as one address; the postal code on its own.
        std::string address;
        for (size_t index : {4u, 3u, 2u, 1u}) {  // region, locality, street, extended
            const std::string part = index < adr.size() ? TrimBlanks(adr[index]) : "";
            if (!part.empty())
                address += (address.empty() ? "" : " ") + part;
        }
        f[kFieldAddress] = address;
        f[kFieldPostalCode] = adr.size() > 5 ? adr[5] : "";
        f[kFieldCompany] = org;
        for (const Phone& phone : phones) {
            if (phone.fax && f[kFieldFax].empty())
                f[kFieldFax] = TrimBlanks(phone.text);
            else if (phone.work && !phone.fax && !phone.mobile && f[kFieldCompanyPhone].empty() &&
                     PhoneDigits(phone.text) != f[kFieldMobile])
                f[kFieldCompanyPhone] = TrimBlanks(phone.text);
        }
        return f;
    }
};

// The properties a contact is made of; others (photos, sounds, keys) are passed over without
// being gathered.
bool IsWanted(std::string_view name) {
    static const char* const kWanted[] = {"BEGIN", "END",   "FN",  "N",  "ORG",
                                          "TITLE", "EMAIL", "ADR", "TEL"};
    for (const char* wanted : kWanted)
        if (name == wanted)
            return true;
    return false;
}

// The name of a property line ("item1.TEL;TYPE=CELL:..." → "TEL"), upper case.
std::string PropertyName(std::string_view line) {
    const size_t end = line.find_first_of(";:");
    std::string_view name = line.substr(0, end == std::string_view::npos ? line.size() : end);
    const size_t dot = name.rfind('.');
    if (dot != std::string_view::npos)
        name.remove_prefix(dot + 1);
    std::string upper(TrimmedView(name));
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c & ~0x20);
    return upper;
}

class VCardReader {
public:
    ContactsRead read(std::string_view bytes) {
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
            bytes.remove_prefix(3);
        std::string logical;
        bool have = false, wanted = false, quotedPrintable = false, softBreak = false;
        size_t pos = 0;
        while (pos < bytes.size() && m_result.error == ContactReadError::None) {
            size_t end = bytes.find_first_of("\r\n", pos);
            if (end == std::string_view::npos)
                end = bytes.size();
            const std::string_view line = bytes.substr(pos, end - pos);
            pos = end +
                  (end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n' ? 2 : 1);
            const bool endsInEquals = !line.empty() && line.back() == '=';
            if (have && softBreak) {
                // A soft line break of quoted-printable text: the "=" goes, the line joins.
                if (wanted) {
                    logical.pop_back();
                    logical.append(line);
                }
                softBreak = endsInEquals;
                continue;
            }
            if (have && !line.empty() && (line[0] == ' ' || line[0] == '\t')) {
                if (wanted)
                    logical.append(line.substr(1));  // a folded line
                softBreak = quotedPrintable && endsInEquals;
                continue;
            }
            if (have)
                property(logical);
            wanted = IsWanted(PropertyName(line));
            logical.assign(wanted ? line : std::string_view());
            have = true;
            const size_t colon = line.find(':');
            quotedPrintable =
                colon != std::string_view::npos &&
                LowerAscii(line.substr(0, colon)).find("quoted-printable") != std::string::npos;
            softBreak = quotedPrintable && endsInEquals;
        }
        if (have)
            property(logical);
        return std::move(m_result);
    }

private:
    void property(const std::string& line) {
        if (line.empty())
            return;
        const std::string name = PropertyName(line);
        // The value starts at the first ":" outside double quotes.
        size_t colon = 0;
        for (bool quoted = false; colon < line.size(); ++colon) {
            if (line[colon] == '"')
                quoted = !quoted;
            else if (line[colon] == ':' && !quoted)
                break;
        }
        if (colon >= line.size())
            return;
        const std::string_view value = std::string_view(line).substr(colon + 1);
        if (name == "BEGIN") {
            if (LowerAscii(TrimmedView(value)) == "vcard" && m_depth++ == 0)
                m_card = Card{};
            return;
        }
        if (name == "END") {
            if (LowerAscii(TrimmedView(value)) == "vcard" && m_depth > 0 && --m_depth == 0) {
                if (m_result.contacts.size() >= kMaxImportedContacts) {
                    m_result.error = ContactReadError::TooMany;
                    return;
                }
                m_result.contacts.push_back(m_card.fields());
            }
            return;
        }
        if (m_depth != 1)
            return;  // outside a card, or inside one nested in it
        const size_t paramsAt = line.find(';');
        const Params params = ParseParams(
            paramsAt < colon ? std::string_view(line).substr(paramsAt + 1, colon - paramsAt - 1)
                             : std::string_view());
        if (params.encoding == "base64" || params.encoding == "b")
            return;
        std::string raw(value);
        if (params.encoding == "quoted-printable")
            raw = DecodeQuotedPrintable(raw);
        const bool structured = name == "N" || name == "ADR" || name == "ORG";
        std::vector<std::string> parts = ValueComponents(raw, params.charset, structured);
        const std::string& first = parts.front();
        if (name == "FN") {
            m_card.fn = first;
        } else if (name == "N") {
            m_card.n = std::move(parts);
        } else if (name == "ORG") {
            if (m_card.org.empty())
                m_card.org = TrimBlanks(first);
        } else if (name == "TITLE") {
            if (m_card.title.empty())
                m_card.title = TrimBlanks(first);
        } else if (name == "EMAIL") {
            if (m_card.email.empty())
                m_card.email = TrimBlanks(first);
        } else if (name == "ADR") {
            if (m_card.adr.empty())
                m_card.adr = std::move(parts);
        } else if (name == "TEL") {
            std::string text = TrimBlanks(first);
            // vCard 4.0 writes numbers as "tel:" addresses, perhaps with parameters.
            if (StartsWithNoCase(text, "tel:")) {
                text.erase(0, 4);
                text = text.substr(0, text.find(';'));
            }
            Phone phone;
            phone.text = std::move(text);
            phone.mobile = params.has("cell") || params.has("mobile") || params.has("iphone");
            phone.work = params.has("work");
            phone.fax = params.has("fax");
            m_card.phones.push_back(std::move(phone));
        }
    }

    ContactsRead m_result;
    Card m_card;
    int m_depth = 0;
};

// The text of a file saved as UTF-16 (some phone suites and Windows' own contacts export so),
// as UTF-8.
std::string Utf16FileText(std::string_view bytes) {
    return Utf16ToUtf8(bytes.substr(2), bytes[0] == '\xFF');
}

bool LooksLikeVCard(std::string_view bytes) {
    if (HasUtf16Mark(bytes))
        return LooksLikeVCard(Utf16FileText(bytes.substr(0, 2 + 2 * 64)));
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    return StartsWithNoCase(TrimmedView(bytes.substr(0, 64)), "begin:vcard");
}

// ---- tables -----------------------------------------------------------------------------

enum class Column {
    Name,
    Family,
    Given,
    Mobile,
    Phone,
    Salutation,
    Email,
    Address,
    Company,
    CompanyPhone,
    Fax,
    PostalCode
};

// A column name as compared: ASCII letters in lower case; blanks, "_", "-", ".", ":" and "："
// dropped; an explanation in brackets ("手机号码（必填）") cut off.
std::string HeaderKey(std::string_view gbk) {
    std::string key;
    bool cut = false;
    ForEachGbkChar(gbk, [&](size_t at, size_t length) {
        const std::string_view ch = gbk.substr(at, length);
        if (cut || ch == "(" || ch == "\xA3\xA8" /* （ */ || ch == "[" ||
            ch == "\xA1\xBE" /* 【 */) {
            cut = true;
            return;
        }
        if (ch == " " || ch == "\t" || ch == "_" || ch == "-" || ch == "." || ch == ":" ||
            ch == "\xA3\xBA" /* ： */ || ch == "\xA1\xA1" /* full-width blank */ ||
            static_cast<unsigned char>(ch[0]) < 0x20)
            return;
        key += LowerAscii(ch);
    });
    return key;
}

const std::map<std::string, Column>& KnownColumns() {
    static const std::map<std::string, Column> known = [] {
        const std::pair<Column, std::vector<const char*>> names[] = {
            {Column::Name,
             {"姓名", "名字", "联系人", "联系人姓名", "客户姓名", "名称", "name", "fullname",
              "displayname", "contactname", "contact"}},
            {Column::Family, {"姓", "姓氏", "lastname", "familyname", "surname"}},
            {Column::Given, {"名", "firstname", "givenname"}},
            {Column::Mobile,
             {"手机", "手机号", "手机号码", "移动电话", "mobile", "mobilephone", "mobilenumber",
              "cell", "cellphone"}},
            {Column::Phone,
             {"电话", "电话号码", "联系电话", "号码", "phone", "telephone", "tel", "phonenumber",
              "primaryphone"}},
            {Column::Salutation, {"称呼", "职务", "职位", "头衔", "title", "jobtitle", "position"}},
            {Column::Email,
             {"邮箱", "电子邮件", "电子邮箱", "邮件", "email", "emailaddress", "mail"}},
            {Column::Address,
             {"地址", "联系地址", "通讯地址", "公司地址", "家庭地址", "address", "street",
              "businessstreet", "homestreet", "mailingstreet"}},
            {Column::Company,
             {"公司", "公司名称", "单位", "单位名称", "工作单位", "company", "companyname",
              "organization", "organisation", "accountname"}},
            {Column::CompanyPhone,
             {"公司电话", "单位电话", "办公电话", "工作电话", "workphone", "businessphone",
              "officephone"}},
            {Column::Fax, {"传真", "传真号码", "fax", "businessfax", "workfax"}},
            {Column::PostalCode,
             {"邮编", "邮政编码", "postalcode", "zip", "zipcode", "postcode",
              "businesspostalcode"}},
        };
        std::map<std::string, Column> map;
        for (const auto& [column, list] : names)
            for (const char* name : list)
                map.emplace(HeaderKey(G(name)), column);
        return map;
    }();
    return known;
}

// A cell as read from a table: an apostrophe that keeps a spreadsheet from reading "=..." as
// a formula (as the CSV export writes it) taken off.
std::string_view CellValue(const SheetRow& row, std::optional<size_t> column) {
    if (!column || *column >= row.cells.size())
        return {};
    std::string_view text = row.cells[*column];
    if (text.size() >= 2 && text[0] == '\'' &&
        std::string_view("=+-@").find(text[1]) != std::string_view::npos)
        text.remove_prefix(1);
    return text;
}

std::string CsvField(std::string_view utf8) {
    std::string field(utf8);
    // A leading "=", "+", "-" or "@" would be taken for a formula by a spreadsheet program.
    if (!field.empty() && std::string_view("=+-@\t\r").find(field[0]) != std::string_view::npos)
        field.insert(0, 1, '\'');
    const bool quote = field.find_first_of(",\"\r\n") != std::string::npos ||
                       (!field.empty() && (field.front() == ' ' || field.back() == ' '));
    if (!quote)
        return field;
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

// vCard text escapes (on UTF-8).
std::string VCardEscape(std::string_view utf8) {
    std::string out;
    for (char c : utf8) {
        if (c == '\\' || c == ',' || c == ';')
            out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        if (c != '\r')
            out += c;
    }
    return out;
}

// A content line folded at 75 bytes, never inside a UTF-8 character.
void AppendFolded(std::string& out, std::string_view line) {
    size_t limit = 75;
    while (line.size() > limit) {
        size_t cut = limit;
        while (cut > 1 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
        out.append(line.substr(0, cut));
        out += "\r\n ";
        line.remove_prefix(cut);
        limit = 74;  // the blank that starts a continuation counts
    }
    out.append(line);
    out += "\r\n";
}

std::string GroupName(const std::string& caption) {
    std::string name = caption;
    if (!name.empty() && name.front() == '[')
        name.erase(0, 1);
    if (!name.empty() && name.back() == ']')
        name.pop_back();
    return name;
}

// The groups of the contacts listed under a node, in listing order (as ListContacts walks).
void GroupsUnder(const BookNode& node, std::size_t depth, std::vector<std::string>& groups,
                 std::vector<std::vector<std::string>>& out) {
    for (const BookNode& child : node.children) {
        if (child.isContact) {
            out.push_back(groups);
        } else if (depth + 1 < 3) {
            groups.push_back(GroupName(child.caption));
            GroupsUnder(child, depth + 1, groups, out);
            groups.pop_back();
        }
    }
}

}  // namespace

std::string PhoneDigits(std::string_view text) {
    // A mobile number however written (full-width digits and dots included).
    if (std::optional<std::string> mobile = ReadMobileNumber(text))
        return std::move(*mobile);
    text = TrimmedView(text);
    std::string digits;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9')
            digits += c;
        else if (c == '+' && digits.empty() && i == 0)
            continue;
        else if (c != ' ' && c != '-' && c != '(' && c != ')' && c != '\t')
            return {};
    }
    if (digits.size() == 13 && digits.compare(0, 2, "86") == 0)
        digits.erase(0, 2);
    else if (digits.size() == 15 && digits.compare(0, 4, "0086") == 0)
        digits.erase(0, 4);
    return digits;
}

ContactsRead ParseVCards(std::string_view bytes) {
    if (HasUtf16Mark(bytes))
        return VCardReader().read(Utf16FileText(bytes));
    return VCardReader().read(bytes);
}

ContactsRead ContactsFromTable(const SheetTable& table) {
    ContactsRead result;
    if (table.clipped) {
        result.error = ContactReadError::TooMany;
        return result;
    }
    // The row naming the columns: the first one (of the first few, below a title perhaps)
    // that names a phone column.
    std::map<Column, size_t> columns;
    size_t header = table.rows.size();
    for (size_t r = 0; r < table.rows.size() && r < 10 && header == table.rows.size(); ++r) {
        std::map<Column, size_t> found;
        const std::vector<std::string>& cells = table.rows[r].cells;
        for (size_t c = 0; c < cells.size(); ++c) {
            const auto known = KnownColumns().find(HeaderKey(cells[c]));
            if (known != KnownColumns().end())
                found.emplace(known->second, c);  // the first column of each kind
        }
        if (found.count(Column::Mobile) || found.count(Column::Phone)) {
            columns = std::move(found);
            header = r;
        }
    }
    if (header == table.rows.size()) {
        result.error = ContactReadError::NoColumns;
        return result;
    }
    if (table.rows.size() - header - 1 > kMaxImportedContacts) {
        result.error = ContactReadError::TooMany;
        return result;
    }
    const auto at = [&](Column column) -> std::optional<size_t> {
        const auto it = columns.find(column);
        return it == columns.end() ? std::nullopt : std::optional<size_t>(it->second);
    };
    for (size_t r = header + 1; r < table.rows.size(); ++r) {
        const SheetRow& row = table.rows[r];
        const auto cell = [&](Column column) { return TrimBlanks(CellValue(row, at(column))); };
        ContactFields f;
        f[kFieldName] = cell(Column::Name);
        if (f[kFieldName].empty()) {
            const std::string family = cell(Column::Family), given = cell(Column::Given);
            const bool ascii = std::all_of(family.begin(), family.end(), [](char c) {
                return static_cast<unsigned char>(c) < 0x80;
            });
            f[kFieldName] = ascii ? TrimBlanks(given + " " + family) : family + given;
        }
        std::vector<Phone> phones;
        phones.push_back({cell(Column::Mobile), true, false, false});
        phones.push_back({cell(Column::Phone), false, false, false});
        f[kFieldMobile] = ChooseMobile(phones);
        f[kFieldSalutation] = cell(Column::Salutation);
        f[kFieldEmail] = cell(Column::Email);
        f[kFieldAddress] = cell(Column::Address);
        f[kFieldCompany] = cell(Column::Company);
        f[kFieldCompanyPhone] = cell(Column::CompanyPhone);
        f[kFieldFax] = cell(Column::Fax);
        f[kFieldPostalCode] = cell(Column::PostalCode);
        result.contacts.push_back(std::move(f));
    }
    return result;
}

ContactsRead ReadContactsFile(const std::string& path) {
    ContactsRead result;
    result.error = ContactReadError::Unreadable;
    struct stat info {};
    // Only a regular file of a bounded size: a FIFO or a device would never end.
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<uint64_t>(info.st_size) > kMaxContactsFileBytes)
        return result;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return result;
    std::string bytes(static_cast<size_t>(info.st_size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));

    SheetTableLimits limits;
    limits.maxRows = static_cast<uint32_t>(kMaxImportedContacts + 10);
    const SpreadsheetFormat format = DetectSpreadsheetFormat(path, bytes.substr(0, 128));
    if (format == SpreadsheetFormat::Xls || format == SpreadsheetFormat::Xlsx ||
        format == SpreadsheetFormat::Ods) {
        bytes.clear();
        const std::optional<SheetTable> table = ReadSheetTable(path, limits);
        return table ? ContactsFromTable(*table) : result;
    }
    if (LooksLikeVCard(bytes))
        return ParseVCards(bytes);
    // Any other text is taken as CSV; a file that is none shows no column names.
    const std::optional<SheetTable> table = ParseCsvTable(bytes, limits);
    return table ? ContactsFromTable(*table) : result;
}

std::string ContactReadErrorText(ContactReadError error) {
    switch (error) {
        case ContactReadError::None:
            break;
        case ContactReadError::Unreadable:
            return G("无法读取该文件，请选择vCard（.vcf）、CSV或Excel（.xls、.xlsx、.ods）文件");
        case ContactReadError::NoColumns:
            return G("文件第一行没有可识别的列名，请用“姓名”“手机号码”等作为列名");
        case ContactReadError::TooMany:
            return G("文件中的联系人超过") + std::to_string(kMaxImportedContacts) +
                   G("个，请分成几个文件导入");
    }
    return {};
}

ContactImportResult ImportContacts(ContactBook& book, const BookPath& group,
                                   const std::vector<ContactFields>& contacts) {
    ContactImportResult result;
    if (!book.isLoaded()) {
        result.change = BookChange::NotLoaded;
        return result;
    }
    if (group.size() > 2 || !book.exists(group) || book.isContact(group)) {
        result.change = BookChange::Refused;
        return result;
    }
    std::unordered_set<std::string> known;
    for (const std::string& number : book.mobileNumbers(group))
        if (!number.empty())
            known.insert(number);
    int next = book.childCount(group);
    book.beginBatch();
    for (const ContactFields& read : contacts) {
        ContactFields fields;
        for (size_t i = 0; i < fields.size(); ++i)
            fields[i] = CleanField(read[i], i == kFieldName);
        const std::string& mobile = fields[kFieldMobile];
        if (!IsDigits1To12(mobile) || !known.insert(mobile).second) {
            ++result.skipped;
            continue;
        }
        if (fields[kFieldName].empty())
            fields[kFieldName] = mobile;
        BookPath path = group;
        path.push_back(next);
        const BookChange change =
            book.addContact(group, fields[kFieldName], BuildContactRecord(fields, PathText(path)));
        if (change != BookChange::Ok) {
            book.cancelBatch();
            return {0, 0, change};
        }
        ++next;
        ++result.added;
    }
    result.change = book.endBatch();
    if (result.change != BookChange::Ok)
        result.added = result.skipped = 0;
    return result;
}

std::string ImportResultText(const ContactImportResult& result) {
    return G("导入") + std::to_string(result.added) + G("个联系人，跳过") +
           std::to_string(result.skipped) + G("个（号码重复或无效）");
}

std::vector<ExportedContact> ContactsForExport(const ContactBook& book, const BookPath& node) {
    std::vector<ExportedContact> contacts;
    const std::vector<ContactRow> rows = book.listContacts(node);
    // The groups of each listed contact, walked the way the listing walks the tree.
    const BookNode tree = book.tree();
    const BookNode* at = &tree;
    std::vector<std::string> groups;
    for (int index : node) {
        if (index < 0 || static_cast<size_t>(index) >= at->children.size()) {
            at = nullptr;
            break;
        }
        at = &at->children[static_cast<size_t>(index)];
        if (!at->isContact)
            groups.push_back(GroupName(at->caption));
    }
    std::vector<std::vector<std::string>> groupsOfRows;
    if (at && at->isContact)
        groupsOfRows.push_back(groups);
    else if (at && node.size() < 3)
        GroupsUnder(*at, node.size(), groups, groupsOfRows);
    for (size_t i = 0; i < rows.size(); ++i) {
        ExportedContact contact;
        for (size_t f = 0; f < contact.fields.size(); ++f)
            contact.fields[f] = TrimBlanks(rows[i].cells[f]);
        if (groupsOfRows.size() == rows.size())
            contact.groups = groupsOfRows[i];
        contacts.push_back(std::move(contact));
    }
    return contacts;
}

ContactFileFormat ExportFormatFor(const std::string& path) {
    return path.size() >= 4 && LowerAscii(std::string_view(path).substr(path.size() - 4)) == ".csv"
               ? ContactFileFormat::Csv
               : ContactFileFormat::VCard;
}

std::string VCardText(const std::vector<ExportedContact>& contacts) {
    std::string out;
    for (const ExportedContact& contact : contacts) {
        const auto utf8 = [&](ContactField field) { return GbkToUtf8(contact.fields[field]); };
        const auto line = [&](std::string_view head, const std::string& value) {
            AppendFolded(out, std::string(head) + value);
        };
        out += "BEGIN:VCARD\r\nVERSION:3.0\r\n";
        const std::string name = VCardEscape(utf8(kFieldName));
        line("N:", name + ";;;;");
        line("FN:", name);
        if (!contact.fields[kFieldMobile].empty())
            line("TEL;TYPE=CELL:", VCardEscape(utf8(kFieldMobile)));
        if (!contact.fields[kFieldCompanyPhone].empty())
            line("TEL;TYPE=WORK,VOICE:", VCardEscape(utf8(kFieldCompanyPhone)));
        if (!contact.fields[kFieldFax].empty())
            line("TEL;TYPE=WORK,FAX:", VCardEscape(utf8(kFieldFax)));
        if (!contact.fields[kFieldEmail].empty())
            line("EMAIL;TYPE=INTERNET:", VCardEscape(utf8(kFieldEmail)));
        if (!contact.fields[kFieldCompany].empty())
            line("ORG:", VCardEscape(utf8(kFieldCompany)));
        if (!contact.fields[kFieldSalutation].empty())
            line("TITLE:", VCardEscape(utf8(kFieldSalutation)));
        if (!contact.fields[kFieldAddress].empty() || !contact.fields[kFieldPostalCode].empty())
            line("ADR;TYPE=WORK:", ";;" + VCardEscape(utf8(kFieldAddress)) + ";;;" +
                                       VCardEscape(utf8(kFieldPostalCode)) + ";");
        if (!contact.groups.empty()) {
            std::string categories;
            for (const std::string& group : contact.groups)
                categories += (categories.empty() ? "" : ",") + VCardEscape(GbkToUtf8(group));
            line("CATEGORIES:", categories);
        }
        out += "END:VCARD\r\n";
    }
    return out;
}

std::string ContactsCsvText(const std::vector<ExportedContact>& contacts) {
    std::string out = "\xEF\xBB\xBF";
    out += "姓名,手机号码,称呼,邮箱,地址,公司名称,公司电话,传真,邮编,分组\r\n";
    for (const ExportedContact& contact : contacts) {
        for (const std::string& field : contact.fields)
            out += CsvField(GbkToUtf8(field)) + ",";
        std::string groups;
        for (const std::string& group : contact.groups)
            groups += (groups.empty() ? "" : "/") + group;
        out += CsvField(GbkToUtf8(groups)) + "\r\n";
    }
    return out;
}

bool ExportContacts(const ContactBook& book, const BookPath& node, const std::string& path,
                    int* count) {
    const std::vector<ExportedContact> contacts = ContactsForExport(book, node);
    if (count)
        *count = static_cast<int>(contacts.size());
    const std::string text = ExportFormatFor(path) == ContactFileFormat::Csv
                                 ? ContactsCsvText(contacts)
                                 : VCardText(contacts);
    return WriteFileAtomically(path, text);
}

}  // namespace smsc
