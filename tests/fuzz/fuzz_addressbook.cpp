// The address book loader and the restore check over any bytes: a file the user picks for
// "通讯录恢复" may be anything. Whatever loads must be written back as a book that loads
// again (one with declarations may be refused instead), also after changes that carry the
// input's own bytes (control characters, bytes that are no GBK), and restore must take
// exactly the books the loader reads.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "addressbook/ContactBook.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const bool valid = smsc::IsValidAddressBook(bytes);
    smsc::ContactBook book;
    const bool loaded = book.loadBytes(bytes);
    const smsc::BookNode root = book.tree();
    if (valid != (loaded && root.caption.find(']') != std::string::npos))
        std::abort();
    if (!loaded)
        return 0;
    book.listContacts({});
    if (!root.children.empty()) {
        book.listContacts({0});
        book.recordAt({0});
        book.holds({0}, root.children.front().caption, root.children.front().isContact);
        smsc::BookPath found;
        book.findGroup({root.children.front().caption}, &found);
    }
    // A book read from bytes has no file: each change stays in memory.
    const std::string text(bytes.substr(0, 32));
    book.addContact({}, text, text + "|1||||||||0");
    book.addGroup({}, text);
    if (!root.children.empty())
        book.rename({0}, text);
    // Only a book with declarations may be refused (they are not always written readably);
    // nothing is ever written that does not load.
    const std::string written = book.serialize();
    smsc::ContactBook again;
    if (written.empty() ? !book.holdsDeclarations() : !again.loadBytes(written))
        std::abort();
    return 0;
}
