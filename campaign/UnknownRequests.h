#pragma once
// Whether a request whose answer never came (the process ended, or the network failed,
// while it was out) reached the service, told from the account's send records: the latest
// 500 submissions ("softweb/Consumerlog.asp"), and the numbers of a submission
// ("softweb/numberlist.asp") where the count and the text alone cannot tell batches of the
// same size apart. When in doubt the answer is "cannot tell": sending twice charges every
// number twice.

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "campaign/CampaignJournal.h"
#include "records/RecordAnswers.h"

namespace smsc::campaign {

enum class Verdict { Sent, NotSent, CannotTell };

struct UnknownDecision {
    Verdict verdict = Verdict::CannotTell;
    std::string record;  // Sent: the id of the send record
    std::string reason;  // CannotTell: why (GBK)
};

// A service clock may be off by hours (another time zone); records this much older than
// the request's start are taken as older for certain.
inline constexpr long long kClockSlackSeconds = 12 * 3600;
// The service lists at most this many records.
inline constexpr size_t kRecordsListed = 500;

// The time of a record, "YYYY-MM-DD HH:MM:SS" (also "/" between the date's parts, seconds
// optional), read as local time; none for anything else.
std::optional<long long> RecordTime(const std::string& text);

// The numbers of the submission with that record id, or none when they cannot be read.
using NumbersOfRecord = std::function<std::optional<std::vector<std::string>>(const std::string&)>;

// The decision for one unknown request. batchNumbers are its numbers; otherTexts the texts
// of the campaign's other pieces (a record with one of them belongs to another request);
// records claimed by other requests are passed over.
UnknownDecision DecideUnknown(const CampaignRequest& request,
                              const std::vector<std::string>& batchNumbers,
                              const std::vector<std::string>& otherTexts,
                              const SendRecordsAnswer& records, const NumbersOfRecord& numbersOf,
                              const std::set<std::string>& claimed);

}  // namespace smsc::campaign
