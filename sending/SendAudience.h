#pragma once
// Who a send of the window goes to, without windows: the recipient list less the numbers on
// the opt-out list and less those that already had Max_Per_Number_Per_Day messages today,
// as the number string of the request; after the answer, the day's history and the lines
// that say what was left out. The SMS and the MMS page share it. Texts are GBK.

#include <string>
#include <vector>

#include "compliance/DailyCap.h"
#include "optout/OptOutList.h"

namespace smsc {

struct SendAudience {
    OptOutSendPlan optOut;  // a refusal, or the entries kept and how many were skipped
    DailyCapSend capped;    // only when the opt-out list refused nothing: what goes out
    std::string numbers;    // the request's number string of capped.entries
};

// The opt-out list read from optOutPath, then the cap of dataDir's Company_Info.ini at now
// (seconds since the epoch). A refusal of the list stops there: no history is opened.
SendAudience PlanSendAudience(const std::string& dataDir, const std::string& optOutPath,
                              const std::vector<std::string>& entries, bool verificationOn,
                              const std::string& verificationNumber, long long now);

// After the answer: an accepted send (status 7) is added to the day's history. True when
// nothing had to be written or it was; false with *error (UTF-8).
bool RecordAcceptedSend(const SendAudience& audience, const std::string& answer, long long now,
                        std::string* error);

// The answer's message followed by a line for the opted-out numbers, then one for the
// numbers at the cap, each only when there were any.
std::string WithSkippedLines(const std::string& gbkMessage, const SendAudience& audience);

}  // namespace smsc
