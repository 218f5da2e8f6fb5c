#include "lookup/CityInfo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/TextHelpers.h"

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
    // O_NONBLOCK: a FIFO opens at once (and is refused below) instead of waiting for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    std::string text;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
              static_cast<unsigned long long>(st.st_size) <= kMaxCityInfoBytes;
    char buffer[64 * 1024];
    while (ok) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        text.append(buffer, static_cast<size_t>(got));
        ok = text.size() <= kMaxCityInfoBytes;  // a file that grows while it is read
    }
    ::close(fd);
    if (!ok || text.empty())
        return std::nullopt;
    return ParseCityInfo(text);
}

}  // namespace smsc
