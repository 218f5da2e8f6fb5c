#pragma once
// smsclient-cli lookup: the "号码搜索" page's number and area-code lookups on sjhmd.dat.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "tools/cli/CliOptions.h"

namespace smsc::cli {

// The checks of a lookup command line: one number, or --area-code without a number; no
// option but --area-code and --data-dir (otherOptions counts the others given).
std::optional<CliOptions> FinishLookupOptions(CliOptions options, size_t otherOptions,
                                              const std::vector<std::string>& positional,
                                              std::string* error);

// Prints province, city, card type and area code (a number) or province, city and area code
// (an area code) on one line, tab-separated; the page's message on err otherwise. The data
// folder is --data-dir, else defaultDataDir.
int RunLookup(const CliOptions& options, const std::string& defaultDataDir, std::ostream& out,
              std::ostream& err);

}  // namespace smsc::cli
