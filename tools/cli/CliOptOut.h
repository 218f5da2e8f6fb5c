#pragma once
// smsclient-cli optout: the opt-out list (OptOut.txt of the data folder) over the same core as
// the list window, and the step of send and send-mms that leaves listed numbers out.
//   optout list | add NUMBER... | remove NUMBER... | import FILE | export FILE
//   optout sync --user U --from YYYY-MM-DD --to YYYY-MM-DD   (the replies, as `replies`)

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "tools/cli/CliOptions.h"

namespace smsc::cli {

struct CliEnvironment;
struct CliRecipients;
struct CliSession;

// The checks of an optout command line once its options were read: the action, its
// arguments, and for sync --user, --from and --to.
std::optional<CliOptions> FinishOptOutOptions(CliOptions options,
                                              const std::vector<std::string>& positional,
                                              std::string* error);
// Whether the action talks to the service (sync).
bool OptOutNeedsSession(const CliOptions& options);

// The data folder of a command: --data-dir, else the environment's, ending in '/'.
std::string CliDataDir(const CliOptions& options, const CliEnvironment& env);

// Runs the action; session only for sync. The exit code.
int RunOptOut(const CliOptions& options, const std::string& dataDir, const CliSession* session,
              std::ostream& out, std::ostream& err);

// Before a send, after its checks passed: without --include-optout the listed numbers are
// left out of `recipients` (verification copies kept) and *skipped counts them. A list that
// cannot be read, or one naming every recipient, refuses: the exit code to end with.
std::optional<int> LeaveOutOptOut(const CliOptions& options, const std::string& dataDir,
                                  CliRecipients& recipients, int* skipped, std::ostream& err);
// "已跳过N个退订号码" on err when N > 0.
void ReportSkipped(int skipped, std::ostream& err);

}  // namespace smsc::cli
