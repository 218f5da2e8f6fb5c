#pragma once
// Repeated entries of a recipient list. The imports filter repeats only among the numbers
// of one run, so the same file imported twice puts every number in the list twice; these
// find the later copies. Plain functions on GBK text.

#include <string>
#include <vector>

namespace smsc {

// Flags every entry whose exact text occurred earlier in the list. With `keep` given (the
// trimmed verification number while the option is on), entries equal to it are never
// flagged: the verification copies belong in the list once per interval.
std::vector<bool> FlagLaterDuplicates(const std::vector<std::string>& entries,
                                      const std::string* keep);

// How many entries FlagLaterDuplicates would flag.
long long CountLaterDuplicates(const std::vector<std::string>& entries, const std::string* keep);

}  // namespace smsc
