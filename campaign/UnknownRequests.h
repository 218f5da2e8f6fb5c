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

// Nothing here compares the client's clock with the service's: the request is matched by its
// content over the whole listing, and where a time is needed the service's clock is read
// from its own listing. A record this much older than the earliest time the request can
// have reached the service (both on the service's clock) is older for certain: submission
// times may be read to the minute, and the pages and their database may keep slightly
// different clocks.
inline constexpr long long kRecordSlackSeconds = 10 * 60;
// The service lists at most this many records.
inline constexpr size_t kRecordsListed = 500;

// The time of a record, "YYYY-MM-DD HH:MM:SS" (also "/" between the date's parts, seconds
// optional), read as local time; none for anything else.
std::optional<long long> RecordTime(const std::string& text);

// The earliest time, on the service's clock, at which a request that left `elapsed` seconds
// before the listing was read (on the client's clock) can have reached the service: the
// newest submission time listed, no later than the service's own clock then, less the
// elapsed time. None when the listing shows no time, or elapsed is negative (the client's
// clock went back, so how long ago the request left is not known).
std::optional<long long> EarliestArrival(const SendRecordsAnswer& records, long long elapsed);

// The numbers of the submission with that record id, or none when they cannot be read.
using NumbersOfRecord = std::function<std::optional<std::vector<std::string>>(const std::string&)>;

// The decision for one unknown request. batchNumbers are its numbers; otherTexts the texts
// of the campaign's other pieces (a record with one of them belongs to another request);
// records claimed by other requests are passed over; earliestArrival (EarliestArrival) passes
// over records older for certain, and lets a full listing prove the request absent.
UnknownDecision DecideUnknown(const CampaignRequest& request,
                              const std::vector<std::string>& batchNumbers,
                              const std::vector<std::string>& otherTexts,
                              const SendRecordsAnswer& records, const NumbersOfRecord& numbersOf,
                              const std::set<std::string>& claimed,
                              std::optional<long long> earliestArrival);

}  // namespace smsc::campaign
