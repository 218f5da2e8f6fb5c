// The contact readers of "通讯录导入" over any bytes: as a vCard file and as a CSV table, then
// the import into a book in memory and the export of what was imported.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "addressbook/ContactBook.h"
#include "addressbook/ContactTransfer.h"
#include "recipients/SpreadsheetReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    smsc::ContactsRead read = smsc::ParseVCards(bytes);
    if (const auto table = smsc::ParseCsvTable(bytes, {})) {
        smsc::ContactsRead rows = smsc::ContactsFromTable(*table);
        read.contacts.insert(read.contacts.end(), rows.contacts.begin(), rows.contacts.end());
    }
    smsc::ContactBook book;
    if (!book.loadBytes(smsc::EmptyBookXml()))
        return 0;
    smsc::ImportContacts(book, {}, read.contacts);
    const auto exported = smsc::ContactsForExport(book, {});
    smsc::ParseVCards(smsc::VCardText(exported));
    smsc::ParseCsvTable(smsc::ContactsCsvText(exported), {});
    return 0;
}
