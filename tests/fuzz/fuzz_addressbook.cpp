// The address book loader and the restore check over any bytes: a file the user picks for
// "通讯录恢复" may be anything.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "addressbook/ContactBook.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    smsc::IsValidAddressBook(bytes);
    smsc::ContactBook book;
    if (!book.loadBytes(bytes))
        return 0;
    const smsc::BookNode root = book.tree();
    book.listContacts({});
    if (!root.children.empty()) {
        book.listContacts({0});
        book.recordAt({0});
        smsc::BookPath found;
        book.findGroup({root.children.front().caption}, &found);
    }
    book.serialize();
    return 0;
}
