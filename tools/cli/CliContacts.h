#pragma once
// smsclient-cli contacts: the mobile numbers of the address book, or of one of its groups,
// one per line in book order, ready for send --numbers-file. contacts-import and
// contacts-export: contacts from a vCard, CSV or spreadsheet file into a group, and the
// book or a group out as vCard or CSV.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "addressbook/ContactBook.h"

#include "tools/cli/Cli.h"
#include "tools/cli/CliOptions.h"

namespace smsc::cli {

int RunContacts(const CliOptions& options, const CliEnvironment& env, std::ostream& out,
                std::ostream& err);
int RunContactsImport(const CliOptions& options, const CliEnvironment& env, std::ostream& out,
                      std::ostream& err);
int RunContactsExport(const CliOptions& options, const CliEnvironment& env, std::ostream& out,
                      std::ostream& err);

// The contacts listed under --group (the whole book without it), for a variable SMS; none
// with the exit code's message written to err.
std::optional<std::vector<ContactRow>> ContactsOfGroup(const CliOptions& options,
                                                       const CliEnvironment& env, std::ostream& err,
                                                       int* code);

}  // namespace smsc::cli
