#pragma once
// What a send will cost, before it goes out: the numbers by carrier, those the opt-out list
// leaves out, repeated numbers, the pieces (or units) per number and the units the service
// will charge, against the remaining quota. The send pages show it as one line under their
// counter and ask before a send that exceeds the quota; smsclient-cli prints it for
// --dry-run. All texts are GBK.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace smsc {

class CarrierTable;

// Whether the opt-out list holds the number (an entry as the list holds it). Empty: no
// opt-out list, nothing is left out.
using OptOutTest = std::function<bool(const std::string& entry)>;

struct SendPlanFigures {
    long long numbers = 0;  // entries that go out: the list without the opted-out ones
    long long mobile = 0;   // of those, by carrier
    long long unicom = 0;
    long long telecom = 0;
    long long broadnet = 0;  // China Broadnet (192)
    long long other = 0;
    long long optedOut = 0;    // entries the opt-out list leaves out
    long long duplicates = 0;  // later copies of an entry (verification copies excepted)
    long long capped = 0;      // entries at Max_Per_Number_Per_Day today, left out too
    long long perNumber = 0;   // SMS: pieces of the message; MMS: units one MMS costs
    long long units = 0;       // numbers × perNumber
};

// The figures for a list, each entry holding "|" or "*" counted as the numbers the service
// reads from it (SplitAtNumberSeparators). `verification` is the trimmed verification number while
// the page's option is on (its copies go out and are charged, are never opted out and are no
// duplicates); null otherwise. `capped` tells the numbers at the daily cap (after the opt-out
// list), which go out no more than opted-out ones.
SendPlanFigures ComputeSendPlan(const std::vector<std::string>& entries,
                                const std::string* verification, long long perNumber,
                                CarrierTable& carriers, const OptOutTest& optedOut = {},
                                const OptOutTest& capped = {});

// The requests per number of an SMS: the pieces the send would make, 0 for an empty text.
long long SmsUnitsPerNumber(const std::string& message);

// "移动 a  联通 b  电信 c", "  广电 g" when there are such numbers, "  其他 d", then
// "  退订 e", "  已达上限 c" and "  重复 r" when there are such entries, then
// "  每号 k 条，预计扣除 M 条".
std::string SendPlanText(const SendPlanFigures& figures);
// "（剩余 Q 条）"
std::string RemainingQuotaText(long long remaining);
// Whether the units exceed a known remaining quota.
bool ExceedsQuota(const SendPlanFigures& figures, std::optional<long long> remaining);
// "预计扣除M条，超过剩余的Q条，部分号码或后面的分段可能发送失败。仍要发送吗？"
std::string QuotaQuestion(long long units, long long remaining);

// The quota of the status line's "剩余短信N条"; none for any other text.
std::optional<long long> QuotaOfStatusText(const std::string& text);
// The units one MMS costs, from the page's cost note "…每发一条彩信将扣除N条短信"; none
// when the note holds no such count.
std::optional<long long> UnitsOfCostNote(const std::string& note);

}  // namespace smsc
