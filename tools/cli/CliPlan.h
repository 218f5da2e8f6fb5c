#pragma once
// The send plan on the command line (send --dry-run, send-mms --dry-run, campaign start):
// the figures the send pages show, one per line as key<TAB>value.

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sending/SendPlan.h"

namespace smsc {
class SendHistory;
}

namespace smsc::cli {

struct CliEnvironment;
struct CliOptions;

// Where the plan's data lies: the segment database (carriers) and the local copy of the
// notice (the units one MMS costs).
struct PlanFiles {
    std::string segmentDatabase;
    std::string noticeInfo;
};
PlanFiles PlanFilesFor(const CliOptions& options, const CliEnvironment& env);

// The units one MMS costs: mmstosms of Notice_info.ini, 5 without it.
long long MmsUnitsPerNumber(const PlanFiles& files);

// The opt-out list's test for the numbers of a send (OptOut.txt of the data folder); empty
// with --include-optout. A list that cannot be read refuses, as the send would: none, with
// the message on err.
std::optional<OptOutTest> OptOutTestIn(const CliOptions& options, const std::string& dataDir,
                                       std::ostream& err);

// numbers, mobile, unicom, telecom, other, optout, duplicates, pieces, units.
SendPlanFigures ComputeCliPlan(const std::vector<std::string>& entries,
                               const std::string* verification, long long perNumber,
                               const PlanFiles& files, const OptOutTest& optOut);
void PrintSendPlan(std::ostream& out, const SendPlanFigures& figures);

// Max_Per_Number_Per_Day of [Compliance] for a send: history is set when a cap applies.
struct DailyCap {
    std::shared_ptr<SendHistory> history;
    long long leftOut = 0;  // numbers left out because they had their share today
};
// Leaves the numbers at the cap out of entries (one number each); false after the history
// could not be read (reported on err).
bool LeaveOutCapped(const std::string& dataDir, std::vector<std::string>& entries, DailyCap* cap,
                    std::ostream& err);
// After the service accepted the send: the numbers got one more message today, and how many
// the cap left out is told on err.
void RecordCappedSend(const DailyCap& cap, const std::vector<std::string>& numbers, bool accepted,
                      std::ostream& err);

}  // namespace smsc::cli
