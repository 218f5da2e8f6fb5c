#pragma once
// The numbers of a campaign, read once from all its sources in order: typed numbers as
// given, the mobile numbers found anywhere in each file's text (as "从文本文件提取" finds
// them), every repeat of a number after its first occurrence dropped, across all sources.

#include <string>
#include <vector>

#include "recipients/ImportTally.h"

namespace smsc::campaign {

class CampaignNumbers final {
public:
    // A number of 1 to 12 digits (the caller has checked it).
    void addNumber(std::string number);
    // Every mobile number found in the text, line by line; what was taken and left (a number
    // already taken from an earlier source counts as a repeat).
    ImportTally addText(const std::string& text);

    size_t size() const { return m_numbers.size(); }
    // The numbers in order; the collector is empty afterwards.
    std::vector<std::string> take();

private:
    std::vector<std::string> m_numbers;
    // Every number taken, across all sources: one table, also the texts' own.
    SeenNumbers m_seen;
};

}  // namespace smsc::campaign
