#include "recipients/Duplicates.h"

#include <string_view>
#include <unordered_set>

namespace smsc {
namespace {

template <typename OnDuplicate>
void forEachLaterDuplicate(const std::vector<std::string>& entries, const std::string* keep,
                           OnDuplicate onDuplicate) {
    std::unordered_set<std::string_view> seen;
    seen.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string& entry = entries[i];
        if (keep && entry == *keep)
            continue;
        if (!seen.insert(entry).second)
            onDuplicate(i);
    }
}

}  // namespace

std::vector<bool> FlagLaterDuplicates(const std::vector<std::string>& entries,
                                      const std::string* keep) {
    std::vector<bool> flags(entries.size(), false);
    forEachLaterDuplicate(entries, keep, [&](size_t i) { flags[i] = true; });
    return flags;
}

long long CountLaterDuplicates(const std::vector<std::string>& entries, const std::string* keep) {
    long long count = 0;
    forEachLaterDuplicate(entries, keep, [&](size_t) { ++count; });
    return count;
}

}  // namespace smsc
