#pragma once
// smsclient-cli check, and the same check inside send, send-mms and campaign start:
//   check (--text T | --text-file F) [--kind notice|marketing] [--at "YYYY-MM-DD HH:MM"]
//         [--data-dir D]
// One finding per line, "level<TAB>rule<TAB>message" (level error or warning); exit 0 when
// nothing blocks, 1 when something does.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "compliance/Compliance.h"
#include "tools/cli/CliOptions.h"

namespace smsc::cli {

struct CliEnvironment;

// The checks of a check command line once its options were read.
std::optional<CliOptions> FinishCheckOptions(CliOptions options,
                                             const std::vector<std::string>& positional,
                                             std::string* error);

int RunCheck(const CliOptions& options, const CliEnvironment& env, std::ostream& out,
             std::ostream& err);

// The message of --text or --text-file as UTF-8, so that characters GBK cannot carry can be
// named. A file is read as MessageFromFileBytes decides (UTF-8 or GBK). nullopt with *error.
std::optional<std::string> MessageUtf8(const CliOptions& options, std::string* error);

// "YYYY-MM-DD HH:MM" → minute of the day; none when malformed.
std::optional<int> MinuteOfAt(const std::string& at);

// The check's context for a command: settings of the data folder's Company_Info.ini, the
// kind (--kind, else Default_Kind) and the local time now (or --at).
CheckContext CliCheckContext(const CliOptions& options, const std::string& dataDir);

// The word and short-link lists of the data folder, created from their defaults when missing
// once [Compliance] is set; a list that cannot be read is reported on err.
ComplianceLists CliComplianceLists(const CheckContext& context, const std::string& dataDir,
                                   std::ostream& err);

// One line per finding: "error|warning<TAB>rule<TAB>message".
void PrintFindings(const ComplianceReport& report, std::ostream& out);

// An MMS title (UTF-8) before a send: characters GBK cannot carry are named and refused.
// Returns the exit code when refused (the message written to err).
std::optional<int> RefuseUnsendableTitle(const std::string& titleUtf8, std::ostream& err);
// The check of an MMS title once the page's checks passed: findings as for an SMS (stderr);
// the exit code when something blocks.
std::optional<int> CheckMmsTitleBeforeSend(const CliOptions& options, const std::string& dataDir,
                                           std::ostream& err);

}  // namespace smsc::cli
