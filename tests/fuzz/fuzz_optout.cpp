// Opt-out list files and reply texts from anywhere: reading never crashes, a list read back
// from its own bytes has the same entries, and an addition or removal changes only its own
// line. The keyword test takes any text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "optout/OptOutKeywords.h"
#include "optout/OptOutList.h"

namespace {

bool SameEntries(const smsc::OptOutList& a, const smsc::OptOutList& b) {
    const auto x = a.entries(), y = b.entries();
    if (x.size() != y.size() || a.size() != x.size())
        return false;
    for (size_t i = 0; i < x.size(); ++i)
        if (x[i].number != y[i].number || x[i].date != y[i].date || x[i].source != y[i].source)
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    static const smsc::OptOutKeywords keywords;
    keywords.matches(bytes);
    (void)smsc::OptOutNumberOfSender(bytes);

    smsc::OptOutList list = smsc::OptOutList::FromBytes(bytes);
    if (!list.ok())
        return 0;
    // Lines are kept as they are; only dropping a repeated number's line can take away the
    // bytes that told GBK from UTF-8, so a list may read back as not GBK, never otherwise.
    smsc::OptOutList again = smsc::OptOutList::FromBytes(list.toBytes());
    if (!again.ok() && again.state() != smsc::OptOutState::NotGbk)
        std::abort();
    if (!again.ok())
        return 0;
    if (!SameEntries(list, again))
        std::abort();
    for (const auto& e : list.entries())
        if (!list.contains(e.number))
            std::abort();

    const std::string number = std::to_string(size % 1000000);
    const bool listed = list.contains(number);
    if (list.add(number, "2024-01-01", smsc::OptOutSource::Manual) == listed)
        std::abort();
    if (!list.contains(number) || !list.remove(number) || list.contains(number))
        std::abort();
    smsc::OptOutList after = smsc::OptOutList::FromBytes(list.toBytes());
    if (after.ok() && (after.contains(number) || after.size() + (listed ? 1 : 0) != again.size()))
        std::abort();
    return 0;
}
