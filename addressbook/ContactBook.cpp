#include "addressbook/ContactBook.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/AtomicFile.h"
#include "platform/Gbk.h"
#include "sending/TextHelpers.h"

namespace smsc {
namespace {

const xmlChar* const kRemark = reinterpret_cast<const xmlChar*>("备注");
constexpr int kMaxLevel = 3;

void IgnoreXmlError(void*, const char*, ...) {}

void QuietLibxml() {
    static const bool done = [] {
        xmlInitParser();
        xmlSetGenericErrorFunc(nullptr, IgnoreXmlError);
        return true;
    }();
    (void)done;
}

const char* Chars(const xmlChar* text) {
    return reinterpret_cast<const char*>(text);
}
const xmlChar* XChars(const std::string& text) {
    return reinterpret_cast<const xmlChar*>(text.c_str());
}

bool HasRemark(const xmlNode* node) {
    return node && node->type == XML_ELEMENT_NODE && xmlHasProp(node, kRemark) != nullptr;
}

// A contact element: exactly one child, a text node.
bool IsContactElement(const xmlNode* node) {
    const xmlNode* child = node->children;
    return child && !child->next &&
           (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE);
}

std::string Utf8Of(xmlChar* owned) {
    std::string text = owned ? Chars(owned) : "";
    xmlFree(owned);
    return text;
}

// The first attribute's value, GBK.
std::string CaptionOf(const xmlNode* node) {
    if (!node->properties)
        return {};
    return Utf8ToGbk(Utf8Of(xmlNodeListGetString(node->doc, node->properties->children, 1)));
}

std::string RecordOf(const xmlNode* node) {
    return Utf8ToGbk(Utf8Of(xmlNodeGetContent(node)));
}

// The i-th child with "备注".
xmlNode* TreeChild(const xmlNode* parent, int index) {
    if (index < 0)
        return nullptr;
    for (xmlNode* child = parent->children; child; child = child->next) {
        if (HasRemark(child) && index-- == 0)
            return child;
    }
    return nullptr;
}

template <typename F>
void ForEachTreeChild(const xmlNode* parent, F&& f) {
    int index = 0;
    for (xmlNode* child = parent->children; child; child = child->next) {
        if (HasRemark(child))
            f(child, index++);
    }
}

xmlNode* Root(_xmlDoc* doc) {
    return doc ? xmlDocGetRootElement(doc) : nullptr;
}

xmlNode* NodeAt(_xmlDoc* doc, const BookPath& path) {
    if (path.size() > static_cast<std::size_t>(kMaxLevel))
        return nullptr;
    xmlNode* node = Root(doc);
    for (int index : path) {
        if (!node)
            return nullptr;
        node = TreeChild(node, index);
    }
    return node;
}

bool IsBlankText(const xmlNode* node) {
    if (node->type != XML_TEXT_NODE)
        return false;
    for (const xmlChar* c = node->content; c && *c; ++c) {
        if (*c != ' ' && *c != '\t' && *c != '\r' && *c != '\n')
            return false;
    }
    return true;
}

// Whitespace between elements carries no meaning and never counts as a child.
void DropBlankText(xmlNode* root) {
    std::vector<xmlNode*> pending{root};
    while (!pending.empty()) {
        xmlNode* node = pending.back();
        pending.pop_back();
        for (xmlNode* child = node->children; child;) {
            xmlNode* next = child->next;
            if (IsBlankText(child)) {
                xmlUnlinkNode(child);
                xmlFreeNode(child);
            } else if (child->type == XML_ELEMENT_NODE) {
                pending.push_back(child);
            }
            child = next;
        }
    }
}

// The encoding named by the XML declaration at the start of the bytes; empty without one.
std::string DeclaredEncoding(std::string_view bytes) {
    if (bytes.substr(0, 5) != "<?xml")
        return {};
    const std::string_view decl = bytes.substr(0, std::min<std::size_t>(bytes.find("?>"), 256));
    std::size_t at = decl.find("encoding");
    if (at == std::string_view::npos)
        return {};
    at = decl.find_first_of("\"'", at);
    if (at == std::string_view::npos)
        return {};
    const std::size_t end = decl.find(decl[at], at + 1);
    return end == std::string_view::npos ? std::string()
                                         : std::string(decl.substr(at + 1, end - at - 1));
}

// Windows writes files declared as gb2312 in code page 936, so such a file may hold any GBK
// character: it is read and written as GBK under its own declaration.
bool IsGbkAlias(std::string name) {
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name == "gb2312" || name == "gb_2312-80" || name == "csgb2312" || name == "x-gbk" ||
           name == "cp936" || name == "windows-936";
}

_xmlDoc* ParseBook(std::string_view bytes, std::string* gbkAlias = nullptr) {
    QuietLibxml();
    if (bytes.empty() || bytes.size() > kMaxBookBytes)
        return nullptr;
    const std::string declared = DeclaredEncoding(bytes);
    const bool alias = IsGbkAlias(declared);
    xmlDoc* doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                alias ? "GBK" : nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                                    (alias ? XML_PARSE_IGNORE_ENC : 0));
    if (!doc)
        return nullptr;
    if (!xmlDocGetRootElement(doc)) {
        xmlFreeDoc(doc);
        return nullptr;
    }
    DropBlankText(xmlDocGetRootElement(doc));
    if (gbkAlias)
        *gbkAlias = alias ? declared : std::string();
    return doc;
}

// The caption of a ten-field record is its contact's current position, so that an edit
// from the list addresses the right element even in a book whose stored paths went stale.
ContactRow RowOf(const xmlNode* contact, const BookPath& path) {
    ContactRow row;
    const std::vector<std::string> parts = SplitBySeparator(RecordOf(contact), "|");
    if (parts.size() == kContactFieldCount)
        row.caption = PathText(path);
    else if (parts.size() > 9)
        row.caption = parts[9];
    for (std::size_t i = 0; i < 9 && i < parts.size(); ++i)
        row.cells[i] = parts[i];
    return row;
}

// The contacts of a group: its own and, down to level 3, those of its subgroups.
void ListUnder(const xmlNode* group, BookPath& path, std::vector<ContactRow>* rows) {
    ForEachTreeChild(group, [&](xmlNode* child, int index) {
        path.push_back(index);
        if (IsContactElement(child))
            rows->push_back(RowOf(child, path));
        else if (path.size() < static_cast<std::size_t>(kMaxLevel))
            ListUnder(child, path, rows);
        path.pop_back();
    });
}

void BuildUnder(const xmlNode* element, int level, BookNode* node) {
    if (level >= kMaxLevel)
        return;
    ForEachTreeChild(element, [&](xmlNode* child, int) {
        BookNode& added = node->children.emplace_back();
        added.caption = CaptionOf(child);
        added.isContact = IsContactElement(child);
        BuildUnder(child, level + 1, &added);
    });
}

std::string JoinFields(const std::vector<std::string>& parts) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i)
            text += '|';
        text += parts[i];
    }
    return text;
}

void SetRecord(xmlNode* element, const std::string& recordGbk) {
    // xmlNodeSetContent takes entity syntax; the escaped form keeps "&" and "<" literal.
    xmlChar* escaped = xmlEncodeSpecialChars(element->doc, XChars(GbkToUtf8(recordGbk)));
    xmlNodeSetContent(element, escaped);
    xmlFree(escaped);
}

void SetCaption(xmlNode* element, const std::string& captionGbk) {
    const std::string utf8 = GbkToUtf8(captionGbk);
    if (element->properties && element->properties->name)
        xmlSetNsProp(element, element->properties->ns, element->properties->name, XChars(utf8));
    else
        xmlSetProp(element, kRemark, XChars(utf8));
}

// Field 10 of every ten-field record names its contact's current position.
void Renumber(xmlNode* element, BookPath& path) {
    ForEachTreeChild(element, [&](xmlNode* child, int index) {
        path.push_back(index);
        if (IsContactElement(child)) {
            std::vector<std::string> parts = SplitBySeparator(RecordOf(child), "|");
            const std::string wanted = PathText(path);
            if (parts.size() == kContactFieldCount && parts[9] != wanted) {
                parts[9] = wanted;
                SetRecord(child, JoinFields(parts));
            }
        } else if (path.size() < static_cast<std::size_t>(kMaxLevel)) {
            Renumber(child, path);
        }
        path.pop_back();
    });
}

bool ValidUnder(const xmlNode* element, int level) {
    for (const xmlNode* child = element->children; child; child = child->next) {
        if (!HasRemark(child))
            return false;
        if (IsContactElement(child)) {
            if (SplitBySeparator(RecordOf(child), "|").size() != kContactFieldCount)
                return false;
        } else if (level + 1 >= kMaxLevel) {
            if (child->children)
                return false;
        } else if (!ValidUnder(child, level + 1)) {
            return false;
        }
    }
    return true;
}

}  // namespace

ContactBook::ContactBook() = default;

ContactBook::~ContactBook() {
    unload();
}

void ContactBook::unload() {
    if (m_doc)
        xmlFreeDoc(m_doc);
    m_doc = nullptr;
}

bool ContactBook::load(const std::string& path) {
    m_path = path;
    unload();
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > kMaxBookBytes)
        return false;
    const std::optional<std::string> bytes = ReadWholeFile(path);
    if (!bytes)
        return false;
    m_doc = ParseBook(*bytes, &m_gbkAlias);
    return m_doc != nullptr;
}

bool ContactBook::loadBytes(std::string_view bytes) {
    m_path.clear();
    unload();
    m_doc = ParseBook(bytes, &m_gbkAlias);
    return m_doc != nullptr;
}

BookNode ContactBook::tree() const {
    BookNode root;
    if (const xmlNode* element = Root(m_doc)) {
        root.caption = CaptionOf(element);
        BuildUnder(element, 0, &root);
    }
    return root;
}

std::vector<ContactRow> ContactBook::listContacts(const BookPath& node) const {
    std::vector<ContactRow> rows;
    const xmlNode* element = NodeAt(m_doc, node);
    if (!element)
        return rows;
    BookPath path = node;
    if (!node.empty() && IsContactElement(element))
        rows.push_back(RowOf(element, path));
    else if (node.size() < static_cast<std::size_t>(kMaxLevel))
        ListUnder(element, path, &rows);
    return rows;
}

std::vector<std::string> ContactBook::mobileNumbers(const BookPath& node) const {
    std::vector<std::string> numbers;
    for (ContactRow& row : listContacts(node))
        numbers.push_back(TrimBlanks(row.cells[1]));
    return numbers;
}

bool ContactBook::exists(const BookPath& node) const {
    return NodeAt(m_doc, node) != nullptr;
}

bool ContactBook::isContact(const BookPath& node) const {
    const xmlNode* element = NodeAt(m_doc, node);
    return element && !node.empty() && IsContactElement(element);
}

int ContactBook::childCount(const BookPath& node) const {
    const xmlNode* element = NodeAt(m_doc, node);
    if (!element)
        return -1;
    int count = 0;
    ForEachTreeChild(element, [&](xmlNode*, int) { ++count; });
    return count;
}

std::string ContactBook::recordAt(const BookPath& node) const {
    return isContact(node) ? RecordOf(NodeAt(m_doc, node)) : std::string();
}

bool ContactBook::findGroup(const std::vector<std::string>& captions, BookPath* found) const {
    const xmlNode* element = Root(m_doc);
    if (!element || captions.size() > static_cast<std::size_t>(kMaxLevel))
        return false;
    BookPath path;
    for (const std::string& caption : captions) {
        const xmlNode* match = nullptr;
        ForEachTreeChild(element, [&](xmlNode* child, int index) {
            if (!match && !IsContactElement(child) && CaptionOf(child) == caption) {
                match = child;
                path.push_back(index);
            }
        });
        if (!match)
            return false;
        element = match;
    }
    *found = path;
    return true;
}

BookChange ContactBook::commit() {
    if (m_batch)
        return BookChange::Ok;  // written by endBatch
    if (save())
        return BookChange::Ok;
    // What is on disk stays the state of record.
    reload();
    return BookChange::SaveFailed;
}

BookChange ContactBook::addGroup(const BookPath& parent, const std::string& name) {
    if (!isLoaded())
        return BookChange::NotLoaded;
    xmlNode* element = NodeAt(m_doc, parent);
    if (!element || parent.size() > 2 || (!parent.empty() && IsContactElement(element)))
        return BookChange::Refused;
    xmlNode* group =
        xmlNewChild(element, nullptr,
                    reinterpret_cast<const xmlChar*>(parent.empty() ? "team" : "人员"), nullptr);
    xmlSetProp(group, kRemark, XChars(GbkToUtf8("[" + name + "]")));
    return commit();
}

BookChange ContactBook::rename(const BookPath& node, const std::string& caption) {
    if (!isLoaded())
        return BookChange::NotLoaded;
    xmlNode* element = NodeAt(m_doc, node);
    if (!element)
        return BookChange::Refused;
    SetCaption(element, caption);
    if (!node.empty() && IsContactElement(element)) {
        std::vector<std::string> parts = SplitBySeparator(RecordOf(element), "|");
        if (!parts.empty()) {
            parts[0] = caption;
            SetRecord(element, JoinFields(parts));
        }
    }
    return commit();
}

BookChange ContactBook::remove(const BookPath& node) {
    if (!isLoaded())
        return BookChange::NotLoaded;
    xmlNode* element = node.empty() ? nullptr : NodeAt(m_doc, node);
    if (!element)
        return BookChange::Refused;
    xmlUnlinkNode(element);
    xmlFreeNode(element);
    return commit();
}

BookChange ContactBook::addContact(const BookPath& parent, const std::string& name,
                                   const std::string& record) {
    if (!isLoaded())
        return BookChange::NotLoaded;
    xmlNode* element = NodeAt(m_doc, parent);
    if (!element || parent.size() > 2 || (!parent.empty() && IsContactElement(element)))
        return BookChange::Refused;
    xmlNode* contact =
        xmlNewChild(element, nullptr, reinterpret_cast<const xmlChar*>("人员"), nullptr);
    xmlSetProp(contact, kRemark, XChars(GbkToUtf8(name)));
    SetRecord(contact, record);
    return commit();
}

BookChange ContactBook::rewriteContact(const BookPath& node, const std::string& name,
                                       const std::string& record) {
    if (!isLoaded())
        return BookChange::NotLoaded;
    xmlNode* element = node.empty() ? nullptr : NodeAt(m_doc, node);
    if (!element || !IsContactElement(element))
        return BookChange::Refused;
    SetCaption(element, name);
    SetRecord(element, record);
    return commit();
}

std::string ContactBook::serialize() {
    xmlNode* root = Root(m_doc);
    if (!root)
        return {};
    BookPath path;
    Renumber(root, path);
    xmlChar* bytes = nullptr;
    int size = 0;
    const char* encoding = !m_gbkAlias.empty() ? "GBK"
                           : m_doc->encoding   ? Chars(m_doc->encoding)
                                               : "UTF-8";
    xmlDocDumpFormatMemoryEnc(m_doc, &bytes, &size, encoding, 1);
    std::string text = bytes ? std::string(Chars(bytes), static_cast<std::size_t>(size)) : "";
    xmlFree(bytes);
    if (!m_gbkAlias.empty()) {
        // The declaration keeps the name the file came with.
        const std::size_t at = text.find("encoding=\"GBK\"");
        if (at != std::string::npos && at < text.find("?>"))
            text.replace(at, 14, "encoding=\"" + m_gbkAlias + "\"");
    }
    return text;
}

BookChange ContactBook::endBatch() {
    m_batch = false;
    if (!isLoaded())
        return BookChange::NotLoaded;
    const std::string bytes = serialize();
    if (bytes.size() > kMaxBookBytes) {
        reload();
        return BookChange::Refused;
    }
    if (!bytes.empty() && !m_path.empty() && WriteFileAtomically(m_path, bytes))
        return BookChange::Ok;
    reload();
    return BookChange::SaveFailed;
}

bool ContactBook::save() {
    if (!isLoaded() || m_path.empty())
        return false;
    const std::string bytes = serialize();
    return !bytes.empty() && WriteFileAtomically(m_path, bytes);
}

std::string PathText(const BookPath& path) {
    std::string text;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (i)
            text += ',';
        text += std::to_string(path[i]);
    }
    return text;
}

bool ParsePathText(const std::string& text, BookPath* path) {
    BookPath parsed;
    for (const std::string& part : SplitBySeparator(TrimBlanks(text), ",")) {
        const std::string number = TrimBlanks(part);
        if (number.empty() || number.size() > 6 ||
            number.find_first_not_of("0123456789") != std::string::npos)
            return false;
        parsed.push_back(std::stoi(number));
    }
    if (parsed.empty() || parsed.size() > static_cast<std::size_t>(kMaxLevel))
        return false;
    *path = parsed;
    return true;
}

std::string BuildContactRecord(const std::array<std::string, 9>& fields, const std::string& path) {
    std::string record;
    for (const std::string& field : fields)
        record += TrimBlanks(field) + "|";
    return record + TrimBlanks(path);
}

std::string EmptyBookXml() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<通讯录 备注=\"[通讯录]\"/>\n";
}

bool CreateBookIfMissing(const std::string& path, bool* created) {
    if (created)
        *created = false;
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(path, error)))
        return true;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    if (!WriteFileAtomically(path, EmptyBookXml()))
        return false;
    if (created)
        *created = true;
    return true;
}

bool IsValidAddressBook(std::string_view bytes) {
    xmlDoc* doc = ParseBook(bytes);
    if (!doc)
        return false;
    const xmlNode* root = xmlDocGetRootElement(doc);
    const bool valid =
        root->properties && CaptionOf(root).find(']') != std::string::npos && ValidUnder(root, 0);
    xmlFreeDoc(doc);
    return valid;
}

}  // namespace smsc
