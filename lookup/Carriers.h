#pragma once
// Which carrier a mobile number belongs to: the card type the segment database gives for
// its segment (the first seven digits), and, for a segment the database does not place, the
// carrier rules (IsSegmentChinaMobile, IsSegmentChinaUnicom, IsSegmentChinaTelecom,
// IsSegmentChinaBroadnet). The answers are kept per segment, so a list of tens of thousands is
// counted in a few milliseconds once its segments have been seen.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace smsc {

enum class Carrier : std::uint8_t { Mobile, Unicom, Telecom, Broadnet, Other };

class CarrierTable final {
public:
    CarrierTable() = default;
    CarrierTable(const CarrierTable&) = delete;
    CarrierTable& operator=(const CarrierTable&) = delete;

    // The segment database (sjhmd.dat, table hd) to read on the first lookup; without one,
    // or when it cannot be read, only the carrier rules answer.
    void setDatabasePath(std::string path);

    // An 11-digit number starting with "1" by its segment; anything else is Other.
    Carrier carrierOf(std::string_view number);

private:
    void loadDatabase();

    std::string m_path;
    bool m_loaded = false;
    // One byte per segment 1000000 ... 1999999: 0 not looked at yet, else Carrier + 1.
    std::vector<std::uint8_t> m_segments;
};

}  // namespace smsc
