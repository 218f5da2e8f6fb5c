#pragma once
// Contacts in and out of the address book: vCard files (2.1, 3.0 and 4.0, as phones and mail
// programs export them), CSV files and spreadsheets (.csv, .xls, .xlsx, .ods) whose first row
// names the columns. Imported contacts become ordinary contacts of one group, saved once;
// a book or a group goes out as vCard 3.0 or as CSV. Every reader is bounded. No Qt.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "addressbook/ContactBook.h"

namespace smsc {

struct SheetTable;

// Fields 1 to 9 of a contact record, GBK.
using ContactFields = std::array<std::string, 9>;
enum ContactField : std::size_t {
    kFieldName,
    kFieldMobile,
    kFieldSalutation,  // 称呼: a vCard's TITLE, a table's 职务
    kFieldEmail,
    kFieldAddress,
    kFieldCompany,
    kFieldCompanyPhone,
    kFieldFax,
    kFieldPostalCode,
};

// Files larger than this are not read as contacts.
inline constexpr std::size_t kMaxContactsFileBytes = 64u * 1024 * 1024;
// Contacts one file may hold.
inline constexpr std::size_t kMaxImportedContacts = 100000;
// A field longer than this (in bytes) is cut at a character boundary.
inline constexpr std::size_t kMaxContactFieldBytes = 1000;

// The digits of a phone number as written ("+86 138-0013-8000" → "13800138000"): blanks,
// dashes, parentheses and one leading "+" are dropped, then a country code 86 (or 0086)
// before eleven digits. Empty when the text holds anything else (a "1.5" is no number).
std::string PhoneDigits(std::string_view text);

// ---- reading ----------------------------------------------------------------------------
// A contact as read: its mobile number already chosen (empty when it has none that counts:
// a number marked as a mobile one that is 1 to 12 digits, else the first number the number
// rules take for a mobile number).
enum class ContactReadError { None, Unreadable, NoColumns, TooMany };
struct ContactsRead {
    std::vector<ContactFields> contacts;
    ContactReadError error = ContactReadError::None;
};

// vCard text (UTF-8, GBK, or UTF-16 behind its byte-order mark): every BEGIN:VCARD ...
// END:VCARD block one contact.
ContactsRead ParseVCards(std::string_view bytes);
// A table whose first row names the columns (Chinese or English names; unknown ones ignored).
ContactsRead ContactsFromTable(const SheetTable& table);
// A file of either kind, told apart by its content (a .vcf, .csv or spreadsheet).
ContactsRead ReadContactsFile(const std::string& path);
// The message for a read that failed (GBK).
std::string ContactReadErrorText(ContactReadError error);

// ---- into the book ----------------------------------------------------------------------
struct ContactImportResult {
    int added = 0;
    int skipped = 0;  // no usable mobile number, or one already in the group
    BookChange change = BookChange::Ok;
};
// Adds the contacts to the group (the book itself when empty) as the contact editor would:
// fields trimmed, brackets removed from the name, "|" (which would shift the record's fields)
// and control characters replaced; a contact without a name is named by its number. A contact
// whose mobile number is already listed in the group is skipped. The book is written once, at
// the end; when that fails nothing is added (change tells why: Refused when the book would
// grow too large to be read again).
ContactImportResult ImportContacts(ContactBook& book, const BookPath& group,
                                   const std::vector<ContactFields>& contacts);
// "导入N个联系人，跳过M个（号码重复或无效）" (GBK).
std::string ImportResultText(const ContactImportResult& result);

// ---- out of the book --------------------------------------------------------------------
struct ExportedContact {
    ContactFields fields;
    std::vector<std::string> groups;  // the group names from the book down, no brackets (GBK)
};
// The contacts listed for the node (the book, a group or one contact) with their groups.
std::vector<ExportedContact> ContactsForExport(const ContactBook& book, const BookPath& node);

enum class ContactFileFormat { VCard, Csv };
// By the name's extension: ".csv" (any case) is CSV, anything else vCard.
ContactFileFormat ExportFormatFor(const std::string& path);
// vCard 3.0, UTF-8, CR LF, one BEGIN:VCARD per contact, its groups as CATEGORIES.
std::string VCardText(const std::vector<ExportedContact>& contacts);
// UTF-8 with a byte-order mark, a header row of the record's field names and "分组".
std::string ContactsCsvText(const std::vector<ExportedContact>& contacts);
// Writes the node's contacts to the file, atomically, in the format its name asks for.
// *count: the contacts written.
bool ExportContacts(const ContactBook& book, const BookPath& node, const std::string& path,
                    int* count);

}  // namespace smsc
