#include "lookup/CityInfo.h"

#include <fstream>
#include <iterator>

#include "sending/TextHelpers.h"

namespace smsc {

std::vector<CityInfoProvince> ParseCityInfo(const std::string& text) {
    std::vector<CityInfoProvince> provinces;
    for (const std::string& block : SplitBySeparator(text, "][")) {
        std::vector<std::string> names = SplitBySeparator(block, "]#");
        CityInfoProvince province;
        if (!names.empty())
            province.name = RemoveBrackets(names.front());
        for (size_t i = 1; i < names.size(); ++i)
            province.cities.push_back(RemoveBrackets(names[i]));
        provinces.push_back(std::move(province));
    }
    return provinces;
}

std::optional<std::vector<CityInfoProvince>> ReadCityInfo(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text;
    char buffer[64 * 1024];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<size_t>(in.gcount()));
        if (text.size() > kMaxCityInfoBytes)
            return std::nullopt;
    }
    if (in.bad() || text.empty())
        return std::nullopt;
    return ParseCityInfo(text);
}

}  // namespace smsc
