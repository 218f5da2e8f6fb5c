// Fuzz target for the decision on a campaign request whose answer never came: the send
// records and the number lists come from the service. The input is the records answer, then
// after the first NUL byte the number-list answer every record id gets. Checks that a "sent"
// verdict names a record that lists the request's text and count.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "campaign/UnknownRequests.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t nul = input.find('\0');
    const std::string recordsAnswer = input.substr(0, nul);
    const std::string listAnswer = nul == std::string::npos ? std::string() : input.substr(nul + 1);

    smsc::campaign::CampaignRequest request;
    request.text = "hello";
    request.numbers = 2;
    request.started = 1700000000;
    const smsc::SendRecordsAnswer records = smsc::ParseSendRecordsAnswer(recordsAnswer);
    const smsc::campaign::UnknownDecision decision = smsc::campaign::DecideUnknown(
        request, {"13900000000", "13900000001"}, {"other"}, records,
        [&](const std::string&) -> std::optional<std::vector<std::string>> {
            smsc::NumberListAnswer list = smsc::ParseNumberListAnswer(listAnswer);
            if (list.status != smsc::RecordStatus::Listed)
                return std::nullopt;
            return list.numbers;
        },
        {"claimed"}, smsc::campaign::EarliestArrival(records, 60));
    if (decision.verdict == smsc::campaign::Verdict::Sent) {
        bool named = false;
        for (const smsc::SendRecord& r : records.records)
            named = named || (r.id == decision.record && r.id != "claimed");
        Check(named);
    }
    for (const smsc::SendRecord& r : records.records)
        smsc::campaign::RecordTime(r.time);
    return 0;
}
