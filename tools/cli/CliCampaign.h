#pragma once
// smsclient-cli campaign: sends one message to any number of recipients in batches of at
// most 30000, keeping a journal (campaign/) so that a run can be resumed after any
// interruption without sending anything twice.
//   campaign start NAME (--numbers-file F ... | --number N ...)
//                       (--text T | --text-file F | --file MMS --title T) [--batch K]
//   campaign start NAME --template T --table FILE [--number-column C] [--keep-empty]
//                       [--dry-run]    (a variable SMS: one text per row, grouped)
//   campaign resume NAME [--resend-unknown | --skip-unknown] [--no-wait]
//   campaign status NAME
//   campaign list

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "tools/cli/CliOptions.h"
#include "tools/cli/CliRecords.h"

namespace smsc::cli {

struct CliEnvironment;

// What the command borrows from the other send commands; each reports its own usage errors.
struct CampaignInputs {
    // The account for start and resume; journalUser (GBK) stands in for a missing --user.
    std::function<std::optional<CliSession>(const std::string& journalUser)> session;
    // A --numbers-file's bytes.
    std::function<std::optional<std::string>(const std::string& path)> numbersFile;
    // The --text or --text-file message as GBK.
    std::function<std::optional<std::string>()> messageText;
    // The check before the message goes out: the text as it goes out (signature and
    // unsubscription line added), or none when something blocks (already reported).
    std::function<std::optional<std::string>(const std::string& gbk)> checkText;
    // Whether messageText's none was a refusal (characters GBK cannot carry): exit 1.
    std::function<bool()> textRefused;
    // Reports a usage error; returns the exit code.
    std::function<int(const std::string& message)> usage;
};

// The campaign's own checks of the command line: the action, the name and which options
// each action takes. hasText: --text or --text-file was given.
std::optional<CliOptions> FinishCampaignOptions(CliOptions options,
                                                const std::vector<std::string>& positional,
                                                bool hasText, std::string* error);

// Exit codes: 0 done (status and list: shown), 1 refused or undecided (see the message),
// 2 usage error, network failure, journal failure (damaged, or cannot be written),
// 3 (resume --no-wait) a request that may still be on its way: nothing was sent again.
inline constexpr int kExitTooRecent = 3;
int RunCampaignCommand(const CliOptions& options, const CliEnvironment& env,
                       const CampaignInputs& inputs, std::ostream& out, std::ostream& err);

}  // namespace smsc::cli
