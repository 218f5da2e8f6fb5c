#pragma once
// The address book "LinkmanBook/Contacts.xml": an XML document whose element carries the
// book's caption in its first attribute, with groups and contacts below it down to level 3.
// Every element below the book has the attribute "备注" (its caption); a contact element
// has exactly one text child, its ten-field "|" record; any other element is a group.
// Nodes are addressed by tree paths: the indexes among the elements with "备注", from the
// book down. The file keeps the encoding its declaration names; texts crossing this
// interface are GBK. Every change is written whole and atomically at once. No Qt.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct _xmlDoc;

namespace smsc {

// Indexes below the book; empty names the book itself.
using BookPath = std::vector<int>;

struct BookNode {
    std::string caption;  // GBK: the first attribute's value
    bool isContact = false;
    std::vector<BookNode> children;
};

// One row of a contact listing: caption = field 10, cells = fields 1 to 9 (as split; a
// record with a "|" in a field shows shifted cells).
struct ContactRow {
    std::string caption;
    std::array<std::string, 9> cells;
    BookPath path;  // where the element is now
};

constexpr int kContactFieldCount = 10;
// Nothing larger is read as an address book.
constexpr std::size_t kMaxBookBytes = 32u * 1024 * 1024;

enum class BookChange { Ok, Refused, SaveFailed, NotLoaded };

class ContactBook final {
public:
    ContactBook();
    ~ContactBook();
    ContactBook(const ContactBook&) = delete;
    ContactBook& operator=(const ContactBook&) = delete;

    // Loads the file; false when it is missing, not a regular file, too large, unreadable,
    // not XML or declares entities (the document is then empty and every change is
    // refused with NotLoaded).
    bool load(const std::string& path);
    // Same from bytes; the book then has no file and changes are not written anywhere.
    bool loadBytes(std::string_view bytes);
    bool reload() { return m_path.empty() ? isLoaded() : load(m_path); }
    // The book as the file now holds it: the file is read and compared with what was last
    // read or written, and parsed only when another program changed it. False when it
    // cannot be read (the document is then empty).
    bool refresh();
    // Same, but the file is read only when its size, time or identity changed: what a view
    // uses before it shows the book.
    bool refreshIfTouched();
    bool isLoaded() const { return m_doc != nullptr; }
    const std::string& path() const { return m_path; }
    // How often the file's bytes were parsed into the document.
    int parseCount() const { return m_parses; }

    // The group tree (levels 0 to 3).
    BookNode tree() const;
    // The contacts listed for a node: the book every contact depth first, a group its
    // contacts and those of its subgroups, a contact itself, a level-3 group nothing.
    std::vector<ContactRow> listContacts(const BookPath& node) const;
    // The mobile numbers (field 2) of the listing, in order.
    std::vector<std::string> mobileNumbers(const BookPath& node) const;
    // The number of contacts listContacts gives for the node.
    int contactCount(const BookPath& node) const;
    // The name (field 1, trimmed) of the first contact, in document order, whose trimmed
    // mobile number (field 2) is the number; a number given as +86 or 86 followed by eleven
    // digits matches those digits. Empty when none.
    std::string nameOfNumber(const std::string& number) const;
    bool exists(const BookPath& node) const;
    bool isContact(const BookPath& node) const;
    // Elements with "备注" under the node; -1 when it does not exist.
    int childCount(const BookPath& node) const;
    // The record of a contact element; empty when the node is not a contact.
    std::string recordAt(const BookPath& node) const;
    // Finds a group by its captions from the book down ("[客户]", "[北京]").
    bool findGroup(const std::vector<std::string>& captions, BookPath* found) const;
    // Whether the node names an element with this caption (GBK) and of this kind: after a
    // reload, whether another program left the node where the tree shows it.
    bool holds(const BookPath& node, const std::string& caption, bool contact) const;

    // ---- changes: each writes the whole document; on a failed write the document is
    // reloaded from the file and SaveFailed returned. Control characters that XML cannot
    // hold are dropped from every caption and record. -------------------------------------
    // Appends a group "[" + name + "]" under the book (as "team") or a group of level 1.
    BookChange addGroup(const BookPath& parent, const std::string& name);
    // Sets the caption (the first attribute); for a contact the record's name too.
    BookChange rename(const BookPath& node, const std::string& caption);
    // Removes the element and its subtree; the book itself is refused.
    BookChange remove(const BookPath& node);
    // Removes several contacts in one write; a path that names no contact refuses them all.
    BookChange removeContacts(std::vector<BookPath> nodes);
    // Appends a contact element "人员" under the book or a group.
    BookChange addContact(const BookPath& parent, const std::string& name,
                          const std::string& record);
    // Sets the caption and the record of the contact element at the path; a path naming a
    // group or nothing is refused.
    BookChange rewriteContact(const BookPath& node, const std::string& name,
                              const std::string& record);

    // Changes made between beginBatch and endBatch are written once, by endBatch: whole and
    // atomically, or not at all (the file is then reloaded). A book that would grow past
    // kMaxBookBytes, and so could not be read again, is not written: Refused.
    void beginBatch() { m_batch = true; }
    BookChange endBatch();
    // Drops the batch's changes: the file is reloaded.
    void cancelBatch() {
        m_batch = false;
        reload();
    }

    // The document as written to the file: every ten-field record's field 10 set to its
    // contact's current position path, in the document's own encoding when that holds
    // the same document (UTF-8 and GBK always do; any other is read back to see), else in
    // UTF-8 (the declaration then says so). Empty when nothing readable can be written.
    std::string serialize();
    // Whether the book carries a document type or namespace declarations. Written text of
    // those is not always readable, so such a book is written only when it reads back (a
    // change that would not is refused and the file left as it was).
    bool holdsDeclarations() const;
    // The last save was refused because the book's declarations would not read back.
    bool declarationsUnwritable() const { return m_declarationsUnwritable; }
    bool save();

private:
    struct Stamp {
        unsigned long long device = 0, inode = 0, size = 0;
        long long modified = 0, changed = 0;  // nanoseconds
        bool operator==(const Stamp&) const = default;
    };
    static Stamp stampOf(const std::string& path);
    BookChange commit();
    void unload();
    bool parse(std::string bytes);
    bool write(const std::string& bytes);

    std::string m_path;
    _xmlDoc* m_doc = nullptr;
    // The file's bytes as last read or written, and its stamp taken before that.
    std::string m_fileBytes;
    Stamp m_stamp;
    int m_parses = 0;
    mutable std::vector<std::pair<std::string, std::string>> m_numberIndex;  // sorted
    mutable bool m_indexed = false;
    std::string m_gbkAlias;  // a gb2312 declaration read and written as GBK
    bool m_batch = false;
    bool m_declarationsUnwritable = false;
};

// "1,2,5" for {1,2,5}.
std::string PathText(const BookPath& path);
// The numbers of a position path; false when it is not 1 to 3 decimal numbers.
bool ParsePathText(const std::string& text, BookPath* path);
// Fields 1 to 9 trimmed, each followed by "|", then the trimmed position path.
std::string BuildContactRecord(const std::array<std::string, 9>& fields, const std::string& path);

// The empty book a new installation gets.
std::string EmptyBookXml();
// Creates the folder and the empty book when the file is missing. Returns false only when
// it was missing and could not be created; *created tells whether it was.
bool CreateBookIfMissing(const std::string& path, bool* created = nullptr);

// The text without the control characters XML 1.0 cannot hold (all below 0x20 but tab,
// LF and CR).
std::string StripXmlControls(std::string_view gbk);

// The bytes of a regular file of at most kMaxBookBytes; nullopt for anything else (a FIFO,
// a device, a folder) or when it cannot be read. Never blocks on the open.
std::optional<std::string> ReadBookFile(const std::string& path);

// Whether the bytes are a book the loader reads, with a "]" in the book's caption. Restore
// takes exactly these.
bool IsValidAddressBook(std::string_view bytes);

}  // namespace smsc
