#pragma once
// Running a campaign from its journal: unknown requests are decided from the send records
// first, then every request not yet accepted goes out in order, each marked "sending" (and
// committed) before it leaves and given its outcome (committed) before the next one. An
// accepted request is never sent again. Before the first request of a batch goes out, while
// none of its requests has, the numbers on the opt-out list as it is then are left out of
// the batch (and the journal), so that every piece of the batch goes to the same numbers.
// Texts are GBK.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "campaign/CampaignJournal.h"
#include "campaign/UnknownRequests.h"

namespace smsc::campaign {

// One request's exchange. made false: nothing went out (the MMS file could not be read);
// message says why.
struct SendOutcome {
    bool made = true;
    std::string answer;
    std::string message;
};

// Whether a number is on the opt-out list; empty: none is.
using OptOutCheck = std::function<bool(const std::string& number)>;

// What the run needs from the service, the clock and the opt-out list.
struct CampaignService {
    // The request with its batch's number string.
    std::function<SendOutcome(const CampaignRequest& request, const std::string& numbers)> send;
    // The answer of "softweb/Consumerlog.asp"; none when the exchange failed.
    std::function<std::optional<std::string>()> records;
    // The answer of "softweb/numberlist.asp" for a record id; none when the exchange failed.
    std::function<std::optional<std::string>(const std::string& id)> numberList;
    // Seconds since the epoch.
    std::function<long long()> now;
    // The opt-out list as it is now, asked before each batch; none when it cannot be read
    // (the run stops, sending nothing more). Unset: the numbers are sent to as they are.
    std::function<std::optional<OptOutCheck>()> optOut;
    // How long after a request left it may still reach the service (held on the line after
    // the client gave up on it): until then its absence from the send records proves
    // nothing, and it is not sent again. 0: no wait.
    long long settleSeconds = 0;
    // Waits one second. Unset: a request within its settle time stops the run (TooRecent)
    // instead of being waited for.
    std::function<void()> sleepSecond;
    // Asked before each request goes out: a text (GBK) stops the run there (Held), nothing
    // more sent, e.g. its sending window closed or it was paused. Unset: never held.
    std::function<std::optional<std::string>()> hold;
};

// What becomes of an unknown request the send records cannot decide.
enum class UnknownPolicy { Stop, Resend, Skip };

enum class RunEnd {
    Completed,       // every request accepted or skipped
    Refused,         // the service refused a request (or its file, or the opt-out list,
                     // could not be read)
    NetworkFailure,  // a request's answer never came, or was not one the client knows
    Undecided,       // unknown requests the records cannot decide (Stop)
    TooRecent,       // unknown requests that may still be on their way (no sleepSecond)
    JournalFailure,  // a state change could not be committed; nothing more was sent
    Held,            // service.hold stopped it before a request (the message says why)
};

struct RunReport {
    RunEnd end = RunEnd::Completed;
    std::string message;        // what to tell the user (GBK); empty for Completed
    long long optedOut = 0;     // numbers the opt-out list left out of batches in this run
    long long waitSeconds = 0;  // TooRecent: how long until every such request has settled
};

struct RunObserver {
    std::function<void(const CampaignRequest&)> answered;  // after each request's outcome
    std::function<void(const CampaignRequest&, const UnknownDecision&)> decided;
    // Before each second waited for requests that may still be on their way: the seconds
    // left, then 0 once the wait is over.
    std::function<void(const std::vector<CampaignRequest>&, long long secondsLeft)> waiting;
};

// Seconds until a request that left at `started` has settled, both on the client's clock at
// `now`; at most settleSeconds, which a clock gone back since it left waits in full.
long long SettleLeft(long long started, long long now, long long settleSeconds);

RunReport RunCampaign(CampaignJournal& journal, const CampaignService& service,
                      UnknownPolicy policy, const RunObserver& observer = {});

// "第b批（共B批）" + for SMS "第p条（共P条）".
std::string RequestLabel(const CampaignJournal& journal, const CampaignRequest& request);

// The batch's numbers from its number string.
std::vector<std::string> SplitNumberString(const std::string& numbers);

// Units the service has charged for the accepted requests (numbers × units per number).
long long UnitsCharged(const CampaignJournal& journal);

}  // namespace smsc::campaign
