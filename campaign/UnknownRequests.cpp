#include "campaign/UnknownRequests.h"

#include <algorithm>
#include <charconv>
#include <ctime>

#include "platform/Gbk.h"
#include "platform/TextHelpers.h"

namespace smsc::campaign {
namespace {

std::optional<long long> wholeNumber(const std::string& text) {
    const std::string digits = TrimBlanks(text);
    long long value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || value < 0)
        return std::nullopt;
    return value;
}

bool sameText(const std::string& a, const std::string& b) {
    return a == b || TrimBlanks(a) == TrimBlanks(b);
}

bool sameNumbers(std::vector<std::string> a, std::vector<std::string> b) {
    if (a.size() != b.size())
        return false;
    for (std::string& n : a)
        n = TrimBlanks(n);
    for (std::string& n : b)
        n = TrimBlanks(n);
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

UnknownDecision cannotTell(const char* reason) {
    return {Verdict::CannotTell, {}, G(reason)};
}

}  // namespace

std::optional<long long> RecordTime(const std::string& text) {
    const std::string t = TrimBlanks(text);
    int parts[6] = {0, 0, 0, 0, 0, 0};
    size_t at = 0;
    int count = 0;
    const char separators[] = {'-', '-', ' ', ':', ':'};
    while (count < 6) {
        const size_t start = at;
        while (at < t.size() && at - start < 4 && t[at] >= '0' && t[at] <= '9')
            ++at;
        if (at == start)
            return std::nullopt;
        parts[count] = std::stoi(t.substr(start, at - start));
        ++count;
        if (at == t.size())
            break;
        if (count == 6)
            return std::nullopt;
        const char sep = t[at];
        const bool dateSlash = count < 3 && sep == '/';
        if (sep != separators[count - 1] && !dateSlash)
            return std::nullopt;
        ++at;
    }
    if (count < 5 || parts[0] < 1970 || parts[1] < 1 || parts[1] > 12 || parts[2] < 1 ||
        parts[2] > 31 || parts[3] > 23 || parts[4] > 59 || parts[5] > 60)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = parts[0] - 1900;
    tm.tm_mon = parts[1] - 1;
    tm.tm_mday = parts[2];
    tm.tm_hour = parts[3];
    tm.tm_min = parts[4];
    tm.tm_sec = parts[5];
    tm.tm_isdst = -1;
    const std::time_t time = std::mktime(&tm);
    if (time == static_cast<std::time_t>(-1))
        return std::nullopt;
    return static_cast<long long>(time);
}

std::optional<long long> EarliestArrival(const SendRecordsAnswer& records, long long elapsed) {
    if (elapsed < 0)
        return std::nullopt;
    std::optional<long long> newest;
    for (const SendRecord& record : records.records)
        if (const std::optional<long long> time = RecordTime(record.time))
            newest = std::max(newest.value_or(*time), *time);
    if (!newest)
        return std::nullopt;
    return *newest - elapsed;
}

UnknownDecision DecideUnknown(const CampaignRequest& request,
                              const std::vector<std::string>& batchNumbers,
                              const std::vector<std::string>& otherTexts,
                              const SendRecordsAnswer& records, const NumbersOfRecord& numbersOf,
                              const std::set<std::string>& claimed,
                              std::optional<long long> earliestArrival) {
    if (records.status != RecordStatus::Listed || records.truncated)
        return cannotTell("无法读取发送记录");
    std::vector<std::string> matches;
    bool lookalike = false;
    bool reachesBack = false;
    for (const SendRecord& record : records.records) {
        const std::optional<long long> time = RecordTime(record.time);
        if (earliestArrival && time && *time < *earliestArrival - kRecordSlackSeconds) {
            reachesBack = true;
            continue;
        }
        if (claimed.count(record.id))
            continue;
        const std::optional<long long> count = wholeNumber(record.count);
        const bool textMatches = sameText(record.text, request.text);
        if (count ? *count != request.numbers : !textMatches)
            continue;
        if (!textMatches && std::any_of(otherTexts.begin(), otherTexts.end(),
                                        [&](const std::string& t) { return t == record.text; }))
            continue;
        const std::optional<std::vector<std::string>> numbers = numbersOf(record.id);
        if (!numbers)
            return cannotTell("无法读取发送记录中的号码");
        if (!sameNumbers(*numbers, batchNumbers))
            continue;
        if (textMatches && count)
            matches.push_back(record.id);
        else
            // The same numbers under a text the campaign never sent: perhaps this request as
            // the service recorded it.
            lookalike = true;
    }
    if (matches.size() == 1)
        return {Verdict::Sent, matches.front(), {}};
    // Two submissions alike in everything: one may be an earlier send of the same message
    // to the same numbers, and nothing tells which.
    if (matches.size() > 1)
        return cannotTell("发送记录中有多条内容和号码都相同的记录");
    if (lookalike)
        return cannotTell("发送记录中有号码相同但内容不同的记录");
    if (records.records.size() < kRecordsListed || reachesBack)
        return {Verdict::NotSent, {}, {}};
    return cannotTell("发送记录只列出最近500条，无法确定");
}

}  // namespace smsc::campaign
