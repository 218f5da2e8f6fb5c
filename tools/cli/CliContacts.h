#pragma once
// smsclient-cli contacts: the mobile numbers of the address book, or of one of its groups,
// one per line in book order, ready for send --numbers-file.

#include <iosfwd>

#include "tools/cli/Cli.h"
#include "tools/cli/CliOptions.h"

namespace smsc::cli {

int RunContacts(const CliOptions& options, const CliEnvironment& env, std::ostream& out,
                std::ostream& err);

}  // namespace smsc::cli
