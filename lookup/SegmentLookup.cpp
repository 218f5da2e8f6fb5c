#include "lookup/SegmentLookup.h"

#include "lookup/SegmentDatabase.h"
#include "platform/Gbk.h"
#include "recipients/PhoneRules.h"
#include "platform/TextHelpers.h"

namespace smsc {
namespace {

constexpr size_t kSegmentLength = 7;

LookupAnswer refused(const char* utf8Message) {
    LookupAnswer answer;
    answer.message = G(utf8Message);
    return answer;
}

bool passes(const std::string& segment, CarrierFilter filter) {
    switch (filter) {
        case CarrierFilter::All:
            return true;
        case CarrierFilter::Mobile:
            return IsSegmentChinaMobile(segment);
        case CarrierFilter::Unicom:
            return IsSegmentChinaUnicom(segment);
        case CarrierFilter::Telecom:
            return IsSegmentChinaTelecom(segment);
    }
    return false;
}

}  // namespace

LookupAnswer LookupNumber(SegmentDatabase& db, const std::string& numberField) {
    if (numberField.empty())
        return refused("要查询的手机号码为空！请输入手机号码");
    const std::string number = TrimBlanks(numberField);
    if (!IsDigits1To12(number))
        return refused("请输入正确的手机号！");
    // A segment stored twice is as unknown as a missing one.
    const auto rows = db.rowsOfSegment(number.substr(0, kSegmentLength), 2);
    if (!rows || rows->size() != 1)
        return refused("对不起，没有查到该手机号的归属地");
    const SegmentRow& row = rows->front();
    LookupAnswer answer;
    answer.fields = {row.province, row.city, row.cardType, row.areaCode};
    // Many segments have a carrier but no place in the data: say so rather than show blanks.
    if (TrimBlanks(row.province).empty() && TrimBlanks(row.city).empty())
        answer.fields[0] = G("归属地未知");
    return answer;
}

LookupAnswer LookupAreaCode(SegmentDatabase& db, const std::string& areaCodeField) {
    if (areaCodeField.empty())
        return refused("要查询的区号为空！请输入区号");
    const auto rows = db.rowsOfAreaCode(areaCodeField, 1);
    if (!rows || rows->empty())
        return refused("对不起，没有查到该区号的归属地");
    const SegmentRow& row = rows->front();
    LookupAnswer answer;
    answer.fields = {row.province, row.city, std::string(), row.areaCode};
    return answer;
}

std::optional<std::vector<std::string>> CitySegmentEntries(SegmentDatabase& db,
                                                           const std::string& city,
                                                           CarrierFilter filter) {
    const std::string name = TrimBlanks(city);
    // Segments whose place the data does not know are stored without a city; they belong
    // to no city, so a blank name in the province list lists none of them.
    if (name.empty())
        return db.isOpen() ? std::optional(std::vector<std::string>()) : std::nullopt;
    auto segments = db.segmentsOfCity(name);
    if (!segments)
        return std::nullopt;
    std::vector<std::string> entries;
    entries.reserve(segments->size());
    for (const std::string& value : *segments) {
        std::string segment = TrimBlanks(value);
        if (passes(segment, filter))
            entries.push_back(std::move(segment) + "****");
    }
    return entries;
}

std::string SegmentCountText(size_t count) {
    const std::string n = std::to_string(count);
    return n + G("个号码段    ") + n + "0000" + G("个号码");
}

}  // namespace smsc
