#include "sending/SendPlan.h"

#include <algorithm>
#include <string_view>

#include "lookup/Carriers.h"
#include "optout/OptOutList.h"
#include "platform/Gbk.h"
#include "recipients/Duplicates.h"
#include "sending/SmsSend.h"
#include "platform/TextHelpers.h"

namespace smsc {
namespace {

// The decimal digits right after `head` in the text, up to `tail`; none when the text is
// not head + digits + tail (18 digits at most).
std::optional<long long> numberBetween(const std::string& text, const std::string& head,
                                       const std::string& tail, bool whole) {
    size_t at = whole ? (text.rfind(head, 0) == 0 ? 0 : std::string::npos) : text.find(head);
    if (at == std::string::npos)
        return std::nullopt;
    at += head.size();
    size_t end = at;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9')
        ++end;
    if (end == at || end - at > 18 || text.compare(end, tail.size(), tail) != 0)
        return std::nullopt;
    if (whole && end + tail.size() != text.size())
        return std::nullopt;
    return std::stoll(text.substr(at, end - at));
}

}  // namespace

SendPlanFigures ComputeSendPlan(const std::vector<std::string>& listEntries,
                                const std::string* verification, long long perNumber,
                                CarrierTable& carriers, const OptOutTest& optedOut,
                                const OptOutTest& capped) {
    // The service reads every piece between "|" and "*" as a number and charges for it.
    std::vector<std::string> split;
    const bool separators =
        std::any_of(listEntries.begin(), listEntries.end(),
                    [](const std::string& e) { return HoldsNumberSeparator(e); });
    if (separators)
        split = SplitAtNumberSeparators(listEntries);
    const std::vector<std::string>& entries = separators ? split : listEntries;
    SendPlanFigures f;
    for (const std::string& entry : entries) {
        const bool copy = verification && entry == *verification;
        if (!copy && optedOut && optedOut(entry)) {
            ++f.optedOut;
            continue;
        }
        if (!copy && capped && capped(entry)) {
            ++f.capped;
            continue;
        }
        switch (carriers.carrierOf(entry)) {
            case Carrier::Mobile:
                ++f.mobile;
                break;
            case Carrier::Unicom:
                ++f.unicom;
                break;
            case Carrier::Telecom:
                ++f.telecom;
                break;
            case Carrier::Broadnet:
                ++f.broadnet;
                break;
            case Carrier::Other:
                ++f.other;
                break;
        }
    }
    f.numbers = static_cast<long long>(entries.size()) - f.optedOut - f.capped;
    f.duplicates = CountLaterDuplicates(entries, verification);
    f.perNumber = perNumber;
    f.units = f.numbers * perNumber;
    return f;
}

long long SmsUnitsPerNumber(const std::string& message) {
    if (TextLength(message) == 0)
        return 0;
    return PieceCount(PlanSmsPieces(message));
}

std::string SendPlanText(const SendPlanFigures& f) {
    auto n = [](long long value) { return std::to_string(value); };
    std::string text =
        G("移动 ") + n(f.mobile) + G("  联通 ") + n(f.unicom) + G("  电信 ") + n(f.telecom);
    if (f.broadnet > 0)
        text += G("  广电 ") + n(f.broadnet);
    text += G("  其他 ") + n(f.other);
    if (f.optedOut > 0)
        text += G("  退订 ") + n(f.optedOut);
    if (f.capped > 0)
        text += G("  已达上限 ") + n(f.capped);
    if (f.duplicates > 0)
        text += G("  重复 ") + n(f.duplicates);
    text += G("  每号 ") + n(f.perNumber) + G(" 条，预计扣除 ") + n(f.units) + G(" 条");
    return text;
}

std::string RemainingQuotaText(long long remaining) {
    return G("（剩余 ") + std::to_string(remaining) + G(" 条）");
}

bool ExceedsQuota(const SendPlanFigures& figures, std::optional<long long> remaining) {
    return remaining && figures.units > *remaining;
}

std::string QuotaQuestion(long long units, long long remaining) {
    return G("预计扣除") + std::to_string(units) + G("条，超过剩余的") + std::to_string(remaining) +
           G("条，部分号码或后面的分段可能发送失败。仍要发送吗？");
}

std::optional<long long> QuotaOfStatusText(const std::string& text) {
    static const std::string head = G("剩余短信");
    static const std::string tail = G("条");
    return numberBetween(text, head, tail, true);
}

std::optional<long long> UnitsOfCostNote(const std::string& note) {
    static const std::string head = G("将扣除");
    static const std::string tail = G("条短信");
    return numberBetween(note, head, tail, false);
}

}  // namespace smsc
