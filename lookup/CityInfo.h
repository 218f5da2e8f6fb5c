#pragma once
// CityInfo.dat: the provinces and their cities for the same-city search, GBK, as province
// blocks written one after the other: "[" province "]#[" city "]#[" city "]" ... "[" ...

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace smsc {

struct CityInfoProvince {
    std::string name;
    std::vector<std::string> cities;
};

// The real file is a few kilobytes; a bigger one is not ours.
inline constexpr size_t kMaxCityInfoBytes = 1024 * 1024;

// Cuts the text at every "][" into province blocks and each block at every "]#" into the
// province and its cities, then removes every bracket from each name. Nothing else is
// removed, so the bracketless variant [A]#a1]#a2][B]#b1] reads the same.
std::vector<CityInfoProvince> ParseCityInfo(const std::string& text);

// The file's provinces; nullopt when it is missing, unreadable, empty or over the limit.
std::optional<std::vector<CityInfoProvince>> ReadCityInfo(const std::string& path);

}  // namespace smsc
