#pragma once
// The lookups of the "号码搜索" page without a window: where a mobile number belongs, which
// place an area code belongs to, and the segments of a city by carrier. GBK text in and out;
// the page and smsclient-cli share them.

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace smsc {

class SegmentDatabase;

// The four result fields ("省份：", "城市：", "卡型：", "长途区号：") or the message to show
// (title "提醒"), GBK.
struct LookupAnswer {
    std::array<std::string, 4> fields;
    std::string message;  // empty when found
    bool found() const { return message.empty(); }
};

// The mobile number field: trimmed, 1 to 12 digits, looked up by its first seven digits;
// found only when exactly one row holds that segment. A row without a place answers
// "归属地未知" as its province, beside its card type.
LookupAnswer LookupNumber(SegmentDatabase& db, const std::string& numberField);
// The area code field as typed: province, city and area code of the first matching row,
// the card type left empty.
LookupAnswer LookupAreaCode(SegmentDatabase& db, const std::string& areaCodeField);

enum class CarrierFilter { All, Mobile, Unicom, Telecom };

// The list entries (segment + "****") of the city (trimmed) that pass the filter, in table
// order; none for a blank name; nullopt when the query could not run.
std::optional<std::vector<std::string>> CitySegmentEntries(SegmentDatabase& db,
                                                           const std::string& city,
                                                           CarrierFilter filter);
// N + "个号码段    " + N + "0000个号码".
std::string SegmentCountText(size_t count);

}  // namespace smsc
