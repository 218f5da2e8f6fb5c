#include "addressbook/ContactBook.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/AtomicFile.h"
#include "platform/Gbk.h"
#include "platform/TextHelpers.h"

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

// The library writes back what it read, except a default value in a document type and a
// namespace name: those go out without escaping, so a "&#60;" in them comes back as a bare
// "<" that no parser takes. A book holding either is written only when it reads back.
bool HoldsDeclarations(const xmlDoc* doc) {
    if (doc->intSubset || doc->extSubset)
        return true;
    std::vector<const xmlNode*> pending{xmlDocGetRootElement(doc)};
    while (!pending.empty()) {
        const xmlNode* node = pending.back();
        pending.pop_back();
        if (node->nsDef)
            return true;
        for (const xmlNode* child = node->children; child; child = child->next)
            if (child->type == XML_ELEMENT_NODE)
                pending.push_back(child);
    }
    return false;
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

bool IsUtf8Name(std::string name) {
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name == "utf-8" || name == "utf8";
}

bool IsGbkAlias(std::string name);

bool IsGbkName(std::string name) {
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name == "gbk" || IsGbkAlias(name);
}

// Windows writes files declared as gb2312 in code page 936, so such a file may hold any GBK
// character: it is read and written as GBK under its own declaration.
bool IsGbkAlias(std::string name) {
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name == "gb2312" || name == "gb_2312-80" || name == "csgb2312" || name == "x-gbk" ||
           name == "cp936" || name == "windows-936";
}

// An address book declares no entities. Expanding them costs time and memory out of all
// proportion to the file, so the parse stops at the first declaration.
void RefuseEntity(void* context) {
    auto* parser = static_cast<xmlParserCtxtPtr>(context);
    *static_cast<bool*>(parser->_private) = true;
    xmlStopParser(parser);
}
void RefuseEntityDecl(void* context, const xmlChar*, int, const xmlChar*, const xmlChar*,
                      xmlChar*) {
    RefuseEntity(context);
}
void RefuseUnparsedEntityDecl(void* context, const xmlChar*, const xmlChar*, const xmlChar*,
                              const xmlChar*) {
    RefuseEntity(context);
}

_xmlDoc* ParseBook(std::string_view bytes, std::string* gbkAlias = nullptr) {
    QuietLibxml();
    if (bytes.empty() || bytes.size() > kMaxBookBytes)
        return nullptr;
    const std::string declared = DeclaredEncoding(bytes);
    const bool alias = IsGbkAlias(declared);
    xmlParserCtxtPtr parser = xmlNewParserCtxt();
    if (!parser)
        return nullptr;
    bool declaresEntities = false;
    parser->_private = &declaresEntities;
    parser->sax->entityDecl = RefuseEntityDecl;
    parser->sax->unparsedEntityDecl = RefuseUnparsedEntityDecl;
    xmlDoc* doc = xmlCtxtReadMemory(parser, bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                    alias ? "GBK" : nullptr,
                                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                                        (alias ? XML_PARSE_IGNORE_ENC : 0));
    xmlFreeParserCtxt(parser);
    if (doc && (declaresEntities || !xmlDocGetRootElement(doc))) {
        xmlFreeDoc(doc);
        doc = nullptr;
    }
    if (!doc)
        return nullptr;
    DropBlankText(xmlDocGetRootElement(doc));
    if (gbkAlias)
        *gbkAlias = alias ? declared : std::string();
    return doc;
}

// Whether two documents carry the same content as the loader sees it (blank text never
// counts): what is about to be written must read back as what is in memory.
bool SameNode(const xmlNode* a, const xmlNode* b);

const xmlNode* Significant(const xmlNode* node) {
    while (node && (IsBlankText(node) || node->type == XML_DTD_NODE))
        node = node->next;
    return node;
}

bool SameNodes(const xmlNode* a, const xmlNode* b) {
    for (a = Significant(a), b = Significant(b); a && b;
         a = Significant(a->next), b = Significant(b->next)) {
        if (!SameNode(a, b))
            return false;
    }
    return !a && !b;
}

bool SameNode(const xmlNode* a, const xmlNode* b) {
    if (a->type != b->type || !xmlStrEqual(a->name, b->name))
        return false;
    switch (a->type) {
        case XML_ELEMENT_NODE: {
            if ((a->ns == nullptr) != (b->ns == nullptr) ||
                (a->ns && !xmlStrEqual(a->ns->href, b->ns->href)))
                return false;
            const xmlAttr* x = a->properties;
            const xmlAttr* y = b->properties;
            for (; x && y; x = x->next, y = y->next) {
                if (!xmlStrEqual(x->name, y->name) || !SameNodes(x->children, y->children))
                    return false;
            }
            return !x && !y && SameNodes(a->children, b->children);
        }
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
        case XML_COMMENT_NODE:
        case XML_PI_NODE:
            return xmlStrEqual(a->content, b->content);
        default:
            return true;
    }
}

// The document in the encoding; a gb2312 declaration is written as GBK under its own name.
// Empty when the XML library has no converter for the encoding.
std::string Dump(_xmlDoc* doc, const std::string& encoding) {
    const bool alias = IsGbkAlias(encoding);
    xmlChar* bytes = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc, &bytes, &size, alias ? "GBK" : encoding.c_str(), 1);
    std::string text = bytes ? std::string(Chars(bytes), static_cast<std::size_t>(size)) : "";
    xmlFree(bytes);
    if (alias) {
        const std::size_t at = text.find("encoding=\"GBK\"");
        if (at != std::string::npos && at < text.find("?>"))
            text.replace(at, 14, "encoding=\"" + encoding + "\"");
    }
    return text;
}

bool ReadsBackAs(std::string_view bytes, const _xmlDoc* doc) {
    xmlDoc* again = ParseBook(bytes);
    const bool same = again && SameNodes(doc->children, again->children);
    if (again)
        xmlFreeDoc(again);
    return same;
}

std::string Utf8Content(const xmlNode* text) {
    return text->content ? Chars(text->content) : "";
}

// The caption of a ten-field record is its contact's current position, so that an edit
// from the list addresses the right element even in a book whose stored paths went stale.
ContactRow RowOf(const xmlNode* contact, const BookPath& path) {
    ContactRow row;
    const std::vector<std::string> parts = SplitBySeparator(RecordOf(contact), "|");
    row.path = path;
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

void SetRecord(xmlNode* element, const std::string& recordGbk) {
    // xmlNodeSetContent takes entity syntax; the escaped form keeps "&" and "<" literal.
    xmlChar* escaped =
        xmlEncodeSpecialChars(element->doc, XChars(GbkToUtf8(StripXmlControls(recordGbk))));
    xmlNodeSetContent(element, escaped);
    xmlFree(escaped);
}

void SetCaption(xmlNode* element, const std::string& captionGbk) {
    const std::string utf8 = GbkToUtf8(StripXmlControls(captionGbk));
    if (element->properties && element->properties->name)
        xmlSetNsProp(element, element->properties->ns, element->properties->name, XChars(utf8));
    else
        xmlSetProp(element, kRemark, XChars(utf8));
}

// Field 10 of every ten-field record names its contact's current position. Only the text
// after the last "|" changes, in the document's own text: the rest keeps every character,
// also those GBK cannot hold.
void Renumber(xmlNode* element, BookPath& path) {
    ForEachTreeChild(element, [&](xmlNode* child, int index) {
        path.push_back(index);
        if (IsContactElement(child)) {
            const std::string record = Utf8Content(child->children);
            const std::string wanted = PathText(path);
            if (std::count(record.begin(), record.end(), '|') == kContactFieldCount - 1) {
                const std::size_t last = record.rfind('|') + 1;
                if (record.compare(last, std::string::npos, wanted) != 0)
                    xmlNodeSetContent(child->children, XChars(record.substr(0, last) + wanted));
            }
        } else if (path.size() < static_cast<std::size_t>(kMaxLevel)) {
            Renumber(child, path);
        }
        path.pop_back();
    });
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
    m_fileBytes.clear();
    m_stamp = {};
    m_indexed = false;
}

ContactBook::Stamp ContactBook::stampOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return {};
    Stamp stamp;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = static_cast<unsigned long long>(st.st_size);
    stamp.modified = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
    stamp.changed = st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec;
    return stamp;
}

bool ContactBook::parse(std::string bytes) {
    ++m_parses;
    m_doc = ParseBook(bytes, &m_gbkAlias);
    if (m_doc)
        m_fileBytes = std::move(bytes);
    return m_doc != nullptr;
}

bool ContactBook::load(const std::string& path) {
    m_path = path;
    unload();
    // Taken before the read: a change in between shows as a stamp that no longer matches.
    const Stamp stamp = stampOf(path);
    std::optional<std::string> bytes = ReadBookFile(path);
    if (!bytes || !parse(std::move(*bytes)))
        return false;
    m_stamp = stamp;
    return true;
}

bool ContactBook::loadBytes(std::string_view bytes) {
    m_path.clear();
    unload();
    return parse(std::string(bytes));
}

bool ContactBook::refresh() {
    if (m_path.empty())
        return isLoaded();
    const Stamp stamp = stampOf(m_path);
    std::optional<std::string> bytes = ReadBookFile(m_path);
    if (isLoaded() && bytes && *bytes == m_fileBytes) {
        m_stamp = stamp;
        return true;
    }
    unload();
    if (!bytes || !parse(std::move(*bytes)))
        return false;
    m_stamp = stamp;
    return true;
}

bool ContactBook::refreshIfTouched() {
    if (m_path.empty() || (isLoaded() && stampOf(m_path) == m_stamp))
        return isLoaded();
    return refresh();
}

bool ContactBook::write(const std::string& bytes) {
    m_declarationsUnwritable = bytes.empty() && holdsDeclarations();
    const bool written = !bytes.empty() && !m_path.empty() && WriteFileAtomically(m_path, bytes);
    if (written) {
        // What was written is what the document holds: nothing to parse until another
        // program changes the file.
        m_fileBytes = bytes;
        m_stamp = stampOf(m_path);
    }
    return written;
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

int ContactBook::contactCount(const BookPath& node) const {
    const xmlNode* element = NodeAt(m_doc, node);
    if (!element)
        return 0;
    if (!node.empty() && IsContactElement(element))
        return 1;
    int count = 0;
    const auto under = [&](const auto& self, const xmlNode* group, std::size_t level) -> void {
        ForEachTreeChild(group, [&](xmlNode* child, int) {
            if (IsContactElement(child))
                ++count;
            else if (level + 1 < static_cast<std::size_t>(kMaxLevel))
                self(self, child, level + 1);
        });
    };
    if (node.size() < static_cast<std::size_t>(kMaxLevel))
        under(under, element, node.size());
    return count;
}

namespace {
std::string NumberKey(const std::string& number) {
    std::string key = TrimBlanks(number);
    if (key.size() == 14 && key.compare(0, 3, "+86") == 0)
        key.erase(0, 3);
    else if (key.size() == 13 && key.compare(0, 2, "86") == 0)
        key.erase(0, 2);
    return key;
}
}  // namespace

std::string ContactBook::nameOfNumber(const std::string& number) const {
    if (!m_indexed) {
        m_numberIndex.clear();
        for (ContactRow& row : listContacts({}))
            m_numberIndex.emplace_back(NumberKey(row.cells[1]), TrimBlanks(row.cells[0]));
        // Stable: of two contacts with one number the first in the book names it.
        std::stable_sort(m_numberIndex.begin(), m_numberIndex.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        m_indexed = true;
    }
    const std::string key = NumberKey(number);
    const auto found = std::lower_bound(m_numberIndex.begin(), m_numberIndex.end(), key,
                                        [](const std::pair<std::string, std::string>& entry,
                                           const std::string& k) { return entry.first < k; });
    return found != m_numberIndex.end() && found->first == key && !key.empty() ? found->second
                                                                               : std::string();
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

bool ContactBook::holds(const BookPath& node, const std::string& caption, bool contact) const {
    const xmlNode* element = NodeAt(m_doc, node);
    return element && CaptionOf(element) == caption &&
           (!node.empty() && IsContactElement(element)) == contact;
}

BookChange ContactBook::commit() {
    m_indexed = false;
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
    xmlSetProp(group, kRemark, XChars(GbkToUtf8("[" + StripXmlControls(name) + "]")));
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
        // The name is the text before the first "|"; the other fields keep their text.
        const std::string record = Utf8Content(element->children);
        const std::size_t bar = record.find('|');
        const std::string rest = bar == std::string::npos ? std::string() : record.substr(bar);
        xmlNodeSetContent(element->children, XChars(GbkToUtf8(StripXmlControls(caption)) + rest));
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

BookChange ContactBook::removeContacts(std::vector<BookPath> nodes) {
    if (!isLoaded())
        return BookChange::NotLoaded;
    // Later positions first, so that the earlier ones still name their elements.
    std::sort(nodes.begin(), nodes.end(), std::greater<>());
    nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
    std::vector<xmlNode*> elements;
    for (const BookPath& node : nodes) {
        if (!isContact(node))
            return BookChange::Refused;
        elements.push_back(NodeAt(m_doc, node));
    }
    if (elements.empty())
        return BookChange::Refused;
    for (xmlNode* element : elements) {
        xmlUnlinkNode(element);
        xmlFreeNode(element);
    }
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
    xmlSetProp(contact, kRemark, XChars(GbkToUtf8(StripXmlControls(name))));
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

bool ContactBook::holdsDeclarations() const {
    return m_doc && HoldsDeclarations(m_doc);
}

std::string ContactBook::serialize() {
    xmlNode* root = Root(m_doc);
    if (!root)
        return {};
    BookPath path;
    Renumber(root, path);
    const std::string declared = !m_gbkAlias.empty() ? m_gbkAlias
                                 : m_doc->encoding   ? Chars(m_doc->encoding)
                                                     : "UTF-8";
    std::string bytes = Dump(m_doc, declared);
    // The library's UTF-8 text of a document it holds is that document, and so is its GBK
    // text of a GBK book: every name in it came from GBK text and a character GBK lacks
    // inside a text or a value is written as a character reference. Only the size can keep
    // such a text from being read again. Any other encoding, and a book with declarations,
    // is proven by reading back.
    const bool plain = !holdsDeclarations();
    const bool faithful = plain && (IsUtf8Name(declared) || IsGbkName(declared));
    const auto readable = [this](const std::string& text, bool byConstruction) {
        return byConstruction ? !text.empty() && text.size() <= kMaxBookBytes
                              : ReadsBackAs(text, m_doc);
    };
    if (readable(bytes, faithful))
        return bytes;
    if (IsUtf8Name(declared))
        return {};
    // A stateful or 7-bit encoding (UTF-7, HZ) is not written back faithfully: the book
    // becomes UTF-8 under a declaration saying so.
    bytes = Dump(m_doc, "UTF-8");
    if (!readable(bytes, plain))
        return {};
    xmlFree(const_cast<xmlChar*>(m_doc->encoding));
    m_doc->encoding = xmlStrdup(reinterpret_cast<const xmlChar*>("UTF-8"));
    m_gbkAlias.clear();
    return bytes;
}

BookChange ContactBook::endBatch() {
    m_batch = false;
    if (!isLoaded())
        return BookChange::NotLoaded;
    const std::string bytes = serialize();
    // serialize() gives nothing for a book it cannot read back, as one past the size limit.
    if (bytes.size() > kMaxBookBytes ||
        (bytes.empty() && isLoaded() && Dump(m_doc, "UTF-8").size() > kMaxBookBytes)) {
        reload();
        return BookChange::Refused;
    }
    if (write(bytes))
        return BookChange::Ok;
    reload();
    return BookChange::SaveFailed;
}

bool ContactBook::save() {
    if (!isLoaded() || m_path.empty())
        return false;
    return write(serialize());
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

std::string StripXmlControls(std::string_view gbk) {
    std::string text;
    text.reserve(gbk.size());
    for (const char c : gbk) {
        // No GBK trail byte is below 0x40, so a control byte is always a character.
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 || c == '\t' || c == '\n' || c == '\r')
            text += c;
    }
    return text;
}

std::optional<std::string> ReadBookFile(const std::string& path) {
    // Not blocking: a FIFO must not hang the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<unsigned long long>(st.st_size) > kMaxBookBytes) {
        ::close(fd);
        return std::nullopt;
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        // A file that grows past the bound while it is read is refused too.
        if (got < 0 || bytes.size() + static_cast<std::size_t>(got) > kMaxBookBytes) {
            ::close(fd);
            return std::nullopt;
        }
        if (got == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return bytes;
}

bool IsValidAddressBook(std::string_view bytes) {
    xmlDoc* doc = ParseBook(bytes);
    if (!doc)
        return false;
    const bool valid = CaptionOf(xmlDocGetRootElement(doc)).find(']') != std::string::npos;
    xmlFreeDoc(doc);
    return valid;
}

}  // namespace smsc
