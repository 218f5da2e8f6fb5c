// CityInfo.dat as the province tree reads it: any bytes up to the file limit.
#include <cstddef>
#include <cstdint>
#include <string>

#include "lookup/CityInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > smsc::kMaxCityInfoBytes)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t names = 0;
    for (const smsc::CityInfoProvince& province : smsc::ParseCityInfo(text))
        names += 1 + province.cities.size();
    // Every name comes from at least one byte of the text or a separator.
    if (names > size + 1)
        __builtin_trap();
    return 0;
}
