#include "lookup/Carriers.h"

#include <sqlite3.h>

#include "recipients/PhoneRules.h"

namespace smsc {
namespace {

constexpr int kFirstSegment = 1000000;
constexpr int kSegmentCount = 1000000;
constexpr size_t kNumberLength = 11;
constexpr size_t kSegmentLength = 7;

std::uint8_t code(Carrier carrier) {
    return static_cast<std::uint8_t>(static_cast<int>(carrier) + 1);
}

// The segment's index, or -1 for a text that is not seven digits starting with "1".
int segmentIndex(std::string_view digits) {
    if (digits.size() < kSegmentLength || digits[0] != '1')
        return -1;
    int value = 0;
    for (size_t i = 0; i < kSegmentLength; ++i) {
        if (digits[i] < '0' || digits[i] > '9')
            return -1;
        value = value * 10 + (digits[i] - '0');
    }
    return value - kFirstSegment;
}

// The card type as the database writes it (UTF-8): "中国移动", "移动全球通", "中国广电" ...
bool namedCarrier(std::string_view cardType, Carrier* carrier) {
    if (cardType.find("移动") != std::string_view::npos)
        *carrier = Carrier::Mobile;
    else if (cardType.find("联通") != std::string_view::npos)
        *carrier = Carrier::Unicom;
    else if (cardType.find("电信") != std::string_view::npos)
        *carrier = Carrier::Telecom;
    else if (cardType.find("广电") != std::string_view::npos)
        *carrier = Carrier::Broadnet;
    else
        return false;
    return true;
}

Carrier carrierByRules(const std::string& segment) {
    if (IsSegmentChinaMobile(segment))
        return Carrier::Mobile;
    if (IsSegmentChinaUnicom(segment))
        return Carrier::Unicom;
    if (IsSegmentChinaTelecom(segment))
        return Carrier::Telecom;
    if (IsSegmentChinaBroadnet(segment))
        return Carrier::Broadnet;
    return Carrier::Other;
}

}  // namespace

void CarrierTable::setDatabasePath(std::string path) {
    m_path = std::move(path);
    m_loaded = false;
    m_segments.clear();
}

void CarrierTable::loadDatabase() {
    m_loaded = true;
    m_segments.assign(kSegmentCount, 0);
    if (m_path.empty())
        return;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(m_path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* query = nullptr;
        // The card type is the fifth column, whatever its name.
        if (sqlite3_prepare_v2(db, "SELECT * FROM hd", -1, &query, nullptr) == SQLITE_OK &&
            sqlite3_column_count(query) >= 6) {
            int segmentColumn = -1;
            for (int i = 0; i < sqlite3_column_count(query); ++i)
                if (std::string_view(sqlite3_column_name(query, i)) == "号段")
                    segmentColumn = i;
            while (segmentColumn >= 0 && sqlite3_step(query) == SQLITE_ROW) {
                const auto* segment = sqlite3_column_text(query, segmentColumn);
                const auto* cardType = sqlite3_column_text(query, 4);
                if (!segment || !cardType)
                    continue;
                const std::string_view segmentText(reinterpret_cast<const char*>(segment),
                                                   sqlite3_column_bytes(query, segmentColumn));
                const int index =
                    segmentText.size() == kSegmentLength ? segmentIndex(segmentText) : -1;
                Carrier carrier = Carrier::Other;
                // The first row of a segment decides, as in the number lookup.
                if (index >= 0 && m_segments[index] == 0 &&
                    namedCarrier(std::string_view(reinterpret_cast<const char*>(cardType),
                                                  sqlite3_column_bytes(query, 4)),
                                 &carrier))
                    m_segments[index] = code(carrier);
            }
        }
        sqlite3_finalize(query);
    }
    sqlite3_close(db);
}

Carrier CarrierTable::carrierOf(std::string_view number) {
    if (number.size() != kNumberLength)
        return Carrier::Other;
    const int index = segmentIndex(number);
    if (index < 0)
        return Carrier::Other;
    for (size_t i = kSegmentLength; i < kNumberLength; ++i)
        if (number[i] < '0' || number[i] > '9')
            return Carrier::Other;
    if (!m_loaded)
        loadDatabase();
    std::uint8_t& known = m_segments[static_cast<size_t>(index)];
    if (known == 0)
        known = code(carrierByRules(std::string(number.substr(0, kSegmentLength))));
    return static_cast<Carrier>(known - 1);
}

}  // namespace smsc
